#pragma once
// A colour gradient over the plane with a yellow triangle off the centre: no
// rotation or reflection maps it onto itself, so a frame of it shows only the
// kaleidoscope's own symmetry.
#include <GL/gl.h>

#include "platform/linux/png_image.h"
#include "scenes/scene.h"

namespace hl {

class MarkerScene : public Scene {
 public:
  using Scene::Scene;
  void Draw() override {
    glBegin(GL_QUADS);
    glColor3f(1, 0, 0);
    glVertex3f(-6, -6, -0.01f);
    glColor3f(0, 1, 0);
    glVertex3f(6, -6, -0.01f);
    glColor3f(0, 0, 1);
    glVertex3f(6, 6, -0.01f);
    glColor3f(1, 1, 1);
    glVertex3f(-6, 6, -0.01f);
    glEnd();
    glBegin(GL_TRIANGLES);
    glColor3f(1, 1, 0);
    glVertex3f(0.3f, -3.0f, 0);
    glVertex3f(1.2f, -3.2f, 0);
    glVertex3f(0.6f, -2.2f, 0);
    glEnd();
  }
};

inline Scene* MakeMarkerScene(int index, KaleidoscopeRenderer* r) {
  return index == 0 ? new MarkerScene(r) : nullptr;
}

// Pixels of the marker's yellow.
inline int CountMarkerPixels(const platform::RgbaImage& image) {
  int n = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      if (p[0] > 200 && p[1] > 200 && p[2] < 60) ++n;
    }
  return n;
}

}  // namespace hl
