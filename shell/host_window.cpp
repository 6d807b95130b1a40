#include "shell/host_window.h"

#include <cstdio>

namespace hl {

int RunHostWindow(const LongOptions&) {
  std::fprintf(stderr, "harbor-lights: -root, -window and -window-id are not available yet\n");
  return 1;
}

}  // namespace hl
