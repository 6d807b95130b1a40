#include "shell/saver_window.h"

#include <cstdio>

namespace hl {

bool RunSaverWindow(platform::WindowHandle, int) {
  std::fprintf(stderr, "harbor-lights: the saver window (/s, /p) is not available yet\n");
  return false;
}

}  // namespace hl
