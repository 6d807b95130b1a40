// The least process that makes a frame comparable to a one-frame render: the
// same offscreen context, two of the program's pictures decoded and made into
// mipmapped textures, drawn as full-screen blended quads with trilinear
// filtering, and the frame read back. Nothing is written.
#include <GL/gl.h>

#include "platform/headless/headless_gl_context.h"
#include "scenes/picture_loader.h"

int main() {
  platform::HeadlessGlContext context;
  if (!context.Create(1280, 720)) return 1;
  hl::PictureTexture pictures[2];
  if (!hl::LoadPictureTexture(pictures[0], "JPEG_EYE") || !hl::LoadPictureTexture(pictures[1], "JPEG_PELIROREL")) {
    return 1;
  }
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const hl::PictureTexture& picture : pictures) {
    glBindTexture(GL_TEXTURE_2D, picture.textureName);
    glColor4f(1, 1, 1, 0.5f);
    // A window of 3 x 3 repeats: minified, so the mipmaps are sampled.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 3);
    glVertex2f(-1, -1);
    glTexCoord2f(3, 3);
    glVertex2f(1, -1);
    glTexCoord2f(3, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glEnd();
  }
  const platform::RgbaImage frame = context.ReadPixels();
  return frame.pixels.empty() ? 1 : 0;
}
