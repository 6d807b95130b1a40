#include "shell/offscreen_render.h"

#include <cstdio>

namespace hl {

int RunOffscreenRender(const RenderOptions&, bool) {
  std::fprintf(stderr, "harbor-lights: --render is not available yet\n");
  return 1;
}

}  // namespace hl
