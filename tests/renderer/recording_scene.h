#pragma once
// A scene that records every call the renderer makes, with answers a test sets,
// and for each Draw the rotation and mirroring in force.
#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "scenes/scene.h"

namespace hl {

struct DrawRecord {
  double rotationDegrees;  // of the modelview matrix about z, 0…360
  bool mirrored;           // the matrix reflects (negative determinant)
  bool clipped;            // both clip planes enabled
  GLint frontFace;
};

class RecordingScene : public Scene {
 public:
  using Scene::Scene;

  void Init() override { calls.push_back("Init"); }
  void Update() override { calls.push_back("Update"); }
  void Draw() override {
    calls.push_back("Draw");
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    // Column-major; the camera adds no rotation about z.
    double degrees = std::atan2(m[1], m[0]) * 180.0 / M_PI;
    if (degrees < 0) degrees += 360.0;
    const bool mirrored = m[0] * m[5] - m[1] * m[4] < 0;
    if (mirrored) degrees = std::fmod(std::atan2(-m[1], -m[0]) * 180.0 / M_PI + 360.0, 360.0);
    GLint front = 0;
    glGetIntegerv(GL_FRONT_FACE, &front);
    draws.push_back({degrees, mirrored, glIsEnabled(GL_CLIP_PLANE0) && glIsEnabled(GL_CLIP_PLANE1), front});
  }
  void Begin() override { calls.push_back("Begin"); }
  void End() override { calls.push_back("End"); }
  bool ClipsWedges() override {
    calls.push_back("ClipsWedges");
    return clipsWedges;
  }
  bool DrawsIncrementally() override {
    calls.push_back("DrawsIncrementally");
    return drawsIncrementally;
  }
  bool ExtraFlag() override {
    calls.push_back("ExtraFlag");
    return true;
  }
  bool WantsGlow() override {
    calls.push_back("WantsGlow");
    return wantsGlow;
  }
  bool UsesMirrors() override {
    calls.push_back("UsesMirrors");
    return usesMirrors;
  }

  void Clear() {
    calls.clear();
    draws.clear();
  }

  bool clipsWedges = true;
  bool drawsIncrementally = false;
  bool wantsGlow = false;
  bool usesMirrors = true;
  std::vector<std::string> calls;
  std::vector<DrawRecord> draws;
};

inline Scene* MakeRecordingScene(int index, KaleidoscopeRenderer* renderer) {
  return index == 0 ? new RecordingScene(renderer) : nullptr;
}

}  // namespace hl
