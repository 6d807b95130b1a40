// Long runs of the real zoom scene on the headless context, driven by the
// virtual clock at 2 frames a second on a tiny view: the animation keeps going,
// stays finite, never goes black, and changes its wedges as often as the rule
// "the first frame more than 60 s after the last change" gives at that rate.
// The day-long run is a soak test; the hour-long one runs with the others.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

#ifndef HL_ZOOM_RUN_HOURS
#define HL_ZOOM_RUN_HOURS 1
#endif

namespace hl {
namespace {

constexpr int kSize = 64;
constexpr int64_t kFrameMs = 500;  // 2 frames a second
constexpr int64_t kRunMs = int64_t{HL_ZOOM_RUN_HOURS} * 3600 * 1000;

// The renderer's clock as the design states it: whole milliseconds times the
// float 0.001, rounded to float.
float ClockAt(int64_t ms) { return static_cast<float>(static_cast<double>(ms) * static_cast<double>(0.001f)); }

// Wedge changes a run of frames every `frameMs` should see: one on each frame
// more than 60 s after the previous change (the first counted from 0).
int ExpectedWedgeChanges(int64_t frameMs, int64_t runMs) {
  int changes = 0;
  float last = 0;
  for (int64_t ms = 0; ms <= runMs; ms += frameMs) {
    const float now = ClockAt(ms);
    if (static_cast<double>(now) - static_cast<double>(last) > 60.0) {
      last = now;
      ++changes;
    }
  }
  return changes;
}

bool Finite(const ZoomLayer& l) {
  return std::isfinite(l.phase) && std::isfinite(l.alpha) && std::isfinite(l.texW) && std::isfinite(l.texX) &&
         std::isfinite(l.startTime);
}

#if HL_ZOOM_RUN_HOURS != 24  // once, with the short run
TEST(ZoomRun, TheRuleGivesAChangeEverySixtyAndAHalfSecondsAtTwoFramesASecond) {
  // Independent of the float details: a change every 60.5 s, give or take the
  // first, which may fall on the frame at 60 s itself.
  const int changes = ExpectedWedgeChanges(kFrameMs, 86400 * 1000);
  EXPECT_GE(changes, 86400 / 61);
  EXPECT_LE(changes, 86400 / 60.5 + 1);
  EXPECT_EQ(ExpectedWedgeChanges(kFrameMs, 3600 * 1000), 59);
}
#endif

#if HL_ZOOM_RUN_HOURS == 24
#define HL_RUN_NAME ADayAtTwoFramesASecond
#else
#define HL_RUN_NAME AnHourAtTwoFramesASecond
#endif

TEST(ZoomRun, HL_RUN_NAME) {
  platform::HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, kSize, kSize), "a headless EGL context");
  ResetRendererProcessState();
  lastConfigSwitch = 0;
  platform::VirtualTimeSource clock;
  platform::UseTimeSource(&clock);
  KaleidoscopeRenderer renderer;
  renderer.Create(kSize, kSize);
  auto* scene = dynamic_cast<ZoomScene*>(renderer.scene.get());
  ASSERT_NE(scene, nullptr);

  int changes = 0;
  float lastStart = transition.startTime;
  platform::RgbaImage frame;
  double minAlphas = 2;
  for (int64_t ms = 0; ms <= kRunMs; ms += kFrameMs) {
    clock.SetCounter(ms * clock.CounterFrequency() / 1000);
    renderer.Frame();
    ASSERT_EQ(renderer.timeSeconds, ClockAt(ms));
    if (transition.inTransition && transition.startTime != lastStart) {
      lastStart = transition.startTime;
      ++changes;
    }
    for (int i = 0; i < kZoomLayers; ++i) ASSERT_TRUE(Finite(scene->layers[i])) << "layer " << i << " at " << ms;
    ASSERT_TRUE(std::isfinite(transition.blended.angle) && std::isfinite(transition.fromAngle)) << ms;
    // One layer arrives while another departs, their alphas adding up to
    // about one (a dark moment of a picture, such as a pupil filling the view,
    // is fine).
    double alphas = 0;
    for (int i = 0; i < kZoomLayers; ++i) alphas += scene->layers[i].alpha;
    minAlphas = std::min(minAlphas, alphas);
    // Every ten minutes, and the last frame: not a black frame.
    if (ms % 600000 == 0 || ms + kFrameMs > kRunMs) {
      frame = context.ReadPixels();
      ASSERT_GT(testing_support::CountLitPixels(frame, 0), 0)
          << "at " << ms / 1000 << " s: " << testing_support::KeepFrame(frame, "black");
    }
  }
  EXPECT_EQ(changes, ExpectedWedgeChanges(kFrameMs, kRunMs));
  // Restarts a frame late drift the layers a little, never apart.
  EXPECT_GT(minAlphas, 0.9);
  std::printf("%d wedge changes in %lld s; layers' alphas added up to %.3f at least\n", changes,
              static_cast<long long>(kRunMs / 1000), minAlphas);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  renderer.Destroy();
  platform::UseTimeSource(nullptr);
}

}  // namespace
}  // namespace hl
