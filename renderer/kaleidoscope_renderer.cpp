#include "renderer/kaleidoscope_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "renderer/glow_pass.h"
#include "renderer/random15.h"

namespace hl {

int initialFullClears = 2;
bool clockStarted = false;
int64_t clockFrequency = 0;
int64_t clockBase = 0;

void ResetRendererProcessState() {
  initialFullClears = 2;
  clockStarted = false;
  clockFrequency = 0;
  clockBase = 0;
  transition = TransitionState{};
  glowSupported = false;
  glowTexture = 0;
}

void KaleidoscopeRenderer::Create(int w, int h) {
  SeedRandom15(static_cast<uint32_t>(platform::CalendarTime()));

  Resize(w, h);

  FillWedgeTable(configs);
  PickRandomConfig(false);
  StartClock();

  scene.reset(CreateScene(0, this));
  scene->Init();

  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

  ProbeGlow();
}

void KaleidoscopeRenderer::Resize(int w, int h) {
  width = w;
  height = h;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(90, static_cast<double>(width) / height, 1, 20);
  glMatrixMode(GL_MODELVIEW);
}

void KaleidoscopeRenderer::SetViews(std::vector<ViewRect> rects) {
  rects.erase(std::remove_if(rects.begin(), rects.end(),
                             [](const ViewRect& r) { return r.width <= 0 || r.height <= 0; }),
              rects.end());
  // One monitor filling the window is the window itself: the designed frame,
  // call for call.
  if (rects.size() == 1 && rects[0] == ViewRect{0, 0, width, height}) rects.clear();
  const bool wasSplit = !views.empty();
  views = std::move(rects);
  if (wasSplit && views.empty()) Resize(width, height);
}

void KaleidoscopeRenderer::UseView(const ViewRect& view) {
  glViewport(view.x, view.y, view.width, view.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(90, static_cast<double>(view.width) / view.height, 1, 20);
  glMatrixMode(GL_MODELVIEW);
}

void KaleidoscopeRenderer::Destroy() { scene.reset(); }

void KaleidoscopeRenderer::PickRandomConfig(bool animate) {
  const int k = static_cast<int>(Random15() * static_cast<double>(kRandomScale) * kWedgeTableSize);
  SetConfig(k, animate);
}

void KaleidoscopeRenderer::SetConfig(int index, bool animate) {
  const WedgeConfig* previous = current;
  current = &configs[index % kWedgeTableSize];
  if (!animate) return;
  const float now = timeSeconds;
  if (transition.inTransition) {
    double t = (static_cast<double>(now) - transition.startTime) / transition.duration;
    if (t > 1.0) t = 1.0;
    transition.fromAngle = static_cast<float>(BlendedAngle(t));
  } else {
    transition.inTransition = true;
    transition.fromAngle = previous ? previous->angle : current->angle;
  }
  transition.duration = kBlendSeconds;
  transition.startTime = now;
  transition.toAngle = current->angle;
}

void KaleidoscopeRenderer::StartClock() {
  if (clockStarted) return;
  clockStarted = true;
  clockFrequency = platform::QueryPerformanceFrequency();
  clockBase = platform::QueryPerformanceCounter();
  timeSeconds = 0;
}

void KaleidoscopeRenderer::UpdateClock() {
  const int64_t counter = platform::QueryPerformanceCounter();
  const int64_t milliseconds = ((counter - clockBase) * 1000) / clockFrequency;
  // Whole milliseconds times the float 0.001 (0.0010000000475), rounded to float.
  timeSeconds = static_cast<float>(static_cast<double>(milliseconds) * static_cast<double>(0.001f));
}

void KaleidoscopeRenderer::Tick() {
  UpdateClock();
  scene->Update();
}

bool KaleidoscopeRenderer::Frame(bool mirrorsOption) {
  // Asked in this order, and only as far as needed.
  const bool fullClear =
      !scene->DrawsIncrementally() || initialFullClears != 0 || (scene->WantsGlow() && glowSupported);
  mirrors = scene->UsesMirrors() && mirrorsOption;

  if (fullClear) {
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  } else {
    // Incremental scenes draw over the picture of the previous frames.
    glDrawBuffer(GL_FRONT);
    glClear(GL_DEPTH_BUFFER_BIT);
  }
  if (initialFullClears != 0) --initialFullClears;

  glLoadIdentity();
  gluLookAt(0, 0, 5.5, 0, 0, 0, 0, 1, 0);

  Tick();

  const WedgeConfig& config = transition.inTransition ? BlendedConfig(timeSeconds) : *current;

  if (views.empty()) {
    if (scene->WantsGlow() && glowSupported) CaptureGlow(*this, config);
    DrawWedges(config);
    if (scene->WantsGlow() && glowSupported) DrawGlowOverlay(kGlowCopies, kGlowStep);
  } else {
    // Every view shows this one moment: the clock and the scene moved once
    // above, and the camera is the same; only viewport and aspect differ.
    for (const ViewRect& view : views) {
      UseView(view);
      // A view too small to hold the capture goes without glow.
      const bool glow = scene->WantsGlow() && glowSupported && view.width >= kGlowSize && view.height >= kGlowSize;
      if (glow) CaptureGlow(*this, config, view);
      DrawWedges(config);
      if (glow) DrawGlowOverlay(kGlowCopies, kGlowStep);
    }
  }

  glFlush();
  return fullClear;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

// The direction of seam k, the line at 270 + k * angle degrees. The ring's last
// seam is its first one again when the wedges close the circle (to within the
// rounding of the float angle): both sides then use the first one's numbers.
void SeamDirection(const WedgeConfig& config, int k, double* out) {
  const double angle = config.angle;
  if (config.count % 2 == 0 && k == config.count - 1 && std::fabs(config.count * angle - 360.0) < 1e-3) k = -1;
  const double radians = (270.0 + k * angle) * (kPi / 180.0);
  out[0] = std::cos(radians);
  out[1] = std::sin(radians);
}

// Pass i's unmirrored copy covers seams i … i + 1, its mirrored copy i - 1 … i.
WedgeCopy MakeWedgeCopy(const WedgeConfig& config, int i, bool mirrored) {
  WedgeCopy copy;
  copy.angle = config.angle;
  copy.turnDegrees = static_cast<float>(i * static_cast<double>(config.angle));
  copy.cosTurn = std::cos(copy.turnDegrees * (kPi / 180.0));
  copy.sinTurn = std::sin(copy.turnDegrees * (kPi / 180.0));
  copy.mirrored = mirrored;
  const int wedges = config.count % 2 == 0 ? config.count : config.count + 1;
  copy.overlapped = wedges * static_cast<double>(config.angle) > 360.0 + 1e-3;
  SeamDirection(config, i, copy.lowEdge);
  SeamDirection(config, mirrored ? i - 1 : i + 1, copy.highEdge);
  return copy;
}

}  // namespace

void KaleidoscopeRenderer::DrawWedges(const WedgeConfig& config) {
  glPushMatrix();
  scene->Begin();
  const bool clipped = scene->ClipsWedges() && mirrors;
  if (clipped && scene->CutsWedges()) {
    // The scene cuts each copy itself, along seams the neighbouring copies
    // share exactly: every pixel of the ring belongs to one copy.
    for (int i = 0; i < config.count; i += 2) {
      scene->DrawWedge(MakeWedgeCopy(config, i, false));
      scene->DrawWedge(MakeWedgeCopy(config, i, true));
    }
    glPopMatrix();
    scene->End();
    return;
  }
  if (clipped) {
    glEnable(GL_CLIP_PLANE0);
    glEnable(GL_CLIP_PLANE1);
  }
  // The planes are given after the rotation (and again after the mirroring), so
  // GL carries them through the modelview matrix onto each copy's own wedge.
  for (int i = 0; i < config.count; i += 2) {
    glPushMatrix();
    glRotatef(static_cast<float>(i * static_cast<double>(config.angle)), 0, 0, 1);
    glFrontFace(GL_CCW);
    glClipPlane(GL_CLIP_PLANE0, config.planeA);
    glClipPlane(GL_CLIP_PLANE1, config.planeB);
    scene->Draw();
    if (mirrors) {
      glScalef(-1, 1, 1);
      glFrontFace(GL_CW);  // the reflection turns front faces around
      glClipPlane(GL_CLIP_PLANE0, config.planeA);
      glClipPlane(GL_CLIP_PLANE1, config.planeB);
      scene->Draw();
    }
    glPopMatrix();
    if (!mirrors) break;
  }
  glDisable(GL_CLIP_PLANE0);
  glDisable(GL_CLIP_PLANE1);
  glFrontFace(GL_CCW);
  glPopMatrix();
  scene->End();
}

}  // namespace hl
