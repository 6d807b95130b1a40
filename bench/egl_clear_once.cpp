// The floor for a one-frame render: a process that only creates the same
// offscreen context and clears it once.
#include <GL/gl.h>

#include "platform/headless/headless_gl_context.h"

int main() {
  platform::HeadlessGlContext context;
  if (!context.Create(1280, 720)) return 1;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glFinish();
  return 0;
}
