// The zoom scene's layers and wedge changes as functions of renderer time, with
// picture sizes set by hand (no GL needed).
#include <gtest/gtest.h>

#include <cmath>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"

namespace hl {
namespace {

class ZoomLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    platform::UseTimeSource(&clock);
    FillWedgeTable(renderer.configs);
    renderer.current = &renderer.configs[0];
    renderer.StartClock();
    scene = new ZoomScene(&renderer);
    renderer.scene.reset(scene);
    scene->layers = std::make_unique<ZoomLayer[]>(kZoomLayers);
    scene->textures = std::make_unique<PictureTexture[]>(kZoomLayers);
    const int widths[kZoomLayers] = {512, 1024, 512, 512};
    for (int i = 0; i < kZoomLayers; ++i) {
      scene->textures[i].width = widths[i];
      scene->textures[i].textureName = static_cast<unsigned>(i + 1);
    }
    for (int i = 0; i < kZoomLayers; ++i) scene->layers[i].Setup(i);
  }
  void TearDown() override { platform::UseTimeSource(nullptr); }
  // A fresh process at renderer time 0, for tables of runs.
  void Reset() {
    clock.SetCounter(0);
    SetUp();
  }

  // One frame's clock update and scene update at `ms` milliseconds.
  void TickAt(int64_t ms) {
    clock.SetCounter(ms * clock.CounterFrequency() / 1000);
    renderer.Tick();
  }
  const ZoomLayer& Layer(int i) const { return scene->layers[i]; }

  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
  ZoomScene* scene = nullptr;
};

TEST_F(ZoomLayers, StatesFollowTheCycle) {
  struct Case {
    int64_t ms;
    int layer;
    float alpha;
    float window;  // texW == texH
  };
  const Case cases[] = {
      {0, 0, 0.0f, 1.0f / 512},          // one texel fills the square
      {0, 1, 1.0f, 1.0f},                // the whole relief, just departing
      {0, 2, 0.0f, 1.0f},                // at rest before its first arrival
      {0, 3, 0.0f, 1.0f},
      {15000, 0, 0.5f, 1.0f / std::sqrt(512.0f)},
      {15000, 1, 0.5f, 32.0f},           // the relief repeated sqrt(1024) times
      {30000, 0, 1.0f, 1.0f},            // the colour eye fills the square
      {30000, 1, 0.0f, 32.0f},           // at rest, the window keeps its last value
      {45000, 0, 0.5f, std::sqrt(512.0f)},
      {45000, 3, 0.5f, 1.0f / std::sqrt(512.0f)},  // layer 3 arrives second
  };
  for (const auto& c : cases) {
    TickAt(c.ms);
    const ZoomLayer& l = Layer(c.layer);
    EXPECT_NEAR(l.alpha, c.alpha, 2e-6) << c.ms << " ms, layer " << c.layer;
    EXPECT_NEAR(l.texW / c.window, 1.0, 1e-4) << c.ms << " ms, layer " << c.layer;
    EXPECT_EQ(l.texW, l.texH);
    EXPECT_NEAR(l.texX, 0.5f - l.texW * 0.5f, 1e-6);
    EXPECT_EQ(l.texX, l.texY);
  }
}

TEST_F(ZoomLayers, WindowOriginAtThreeEighthsOfTheCycle) {
  TickAt(45000);  // layer 0 at phase 0.375
  EXPECT_NEAR(Layer(0).phase, 0.375f, 1e-6);
  EXPECT_NEAR(Layer(0).alpha, 0.5f, 1e-5);
  EXPECT_NEAR(Layer(0).texW, 22.627417f, 1e-3);
  EXPECT_NEAR(Layer(0).texX, -10.813708f, 1e-3);
}

TEST_F(ZoomLayers, TimeZeroWindowOfTheArrivingLayer) {
  TickAt(0);
  EXPECT_FLOAT_EQ(Layer(0).texW, 1.0f / 512);
  EXPECT_FLOAT_EQ(Layer(0).texX, 0.5f - 1.0f / 1024);
}

TEST_F(ZoomLayers, PhaseOfExactlyOneRestartsOnlyOnTheNextFrame) {
  // Find the first renderer time at which layer 0's phase comes out exactly 1.
  ZoomLayer& layer = scene->layers[0];
  const float start = layer.startTime;
  float exactlyOne = 0;
  for (float t = 119.99f; t < 120.01f; t = std::nextafter(t, 200.0f)) {
    if (static_cast<float>((static_cast<double>(t) - start) * static_cast<double>(kCycleRate)) == 1.0f) {
      exactlyOne = t;
      break;
    }
  }
  ASSERT_GT(exactlyOne, 0.0f);
  renderer.timeSeconds = exactlyOne;
  layer.Update();
  EXPECT_EQ(layer.phase, 1.0f) << "no restart at phase 1";
  EXPECT_EQ(layer.startTime, start);
  EXPECT_EQ(layer.alpha, 0.0f);

  const float next = std::nextafter(exactlyOne, 200.0f) + 0.001f;
  renderer.timeSeconds = next;
  layer.Update();
  EXPECT_EQ(layer.phase, 0.0f);
  EXPECT_EQ(layer.startTime, next) << "the new cycle starts at this frame's time";
  EXPECT_EQ(layer.red, 1.0f);
}

TEST_F(ZoomLayers, WedgeChangesOnTheFirstFrameMoreThanAMinuteAfterTheLast) {
  float lastChange = 0;
  int changes = 0;
  for (int64_t k = 1; k <= 30 * 3600; ++k) {  // an hour at 30 frames a second
    const float before = transition.startTime;
    TickAt(k * 1000 / 30);
    const float now = renderer.timeSeconds;
    const bool changed = transition.inTransition && transition.startTime == now && before != now;
    const bool due = static_cast<double>(now) - lastChange > 60.0;
    ASSERT_EQ(changed, due) << "at " << now << " s, last change at " << lastChange;
    if (changed) {
      EXPECT_EQ(transition.duration, 2.0f);
      lastChange = now;
      ++changes;
    }
  }
  EXPECT_EQ(changes, 59);  // each after 60 s plus at most a frame
}

TEST_F(ZoomLayers, DayOfUpdatesStaysFiniteAndKeepsCycling) {
  int restarts[kZoomLayers] = {};
  float previousPhase[kZoomLayers];
  for (int i = 0; i < kZoomLayers; ++i) previousPhase[i] = Layer(i).phase;
  int changes = 0;
  float lastChange = 0;
  double expectedChanges = 0;
  for (int64_t k = 1; k <= 30LL * 86400; ++k) {
    const float before = transition.startTime;
    TickAt(k * 1000 / 30);
    const float now = renderer.timeSeconds;
    if (transition.startTime == now && before != now) ++changes;
    if (static_cast<double>(now) - lastChange > 60.0) {
      lastChange = now;
      ++expectedChanges;
    }
    for (int i = 0; i < kZoomLayers; ++i) {
      const ZoomLayer& l = Layer(i);
      ASSERT_TRUE(std::isfinite(l.phase) && std::isfinite(l.alpha) && std::isfinite(l.texW) &&
                  std::isfinite(l.texX) && std::isfinite(l.startTime))
          << "layer " << i << " at " << now;
      ASSERT_GE(l.alpha, 0.0f);
      ASSERT_LE(l.alpha, 1.0f);
      if (l.phase < previousPhase[i]) ++restarts[i];
      previousPhase[i] = l.phase;
    }
  }
  EXPECT_EQ(changes, expectedChanges);
  EXPECT_GE(changes, 1435);
  EXPECT_LE(changes, 1440);
  for (int i = 0; i < kZoomLayers; ++i) {
    EXPECT_GE(restarts[i], 715) << "layer " << i;
    EXPECT_LE(restarts[i], 720) << "layer " << i;
  }
}

// Spread 30 s apart, one layer arrives while the one before it departs, and
// their alphas add up to one: 4p + (1 - 4p). Bunched layers break this (all
// four resting is a black screen).
double AlphaSum(const ZoomScene& scene) {
  double sum = 0;
  for (int i = 0; i < kZoomLayers; ++i) sum += scene.layers[i].alpha;
  return sum;
}

TEST_F(ZoomLayers, StallsLeaveTheLayersSpread) {
  const int64_t stalls[] = {125000, 30000, 1500, 3600000, 86400000};
  for (int64_t stall : stalls) {
    Reset();
    int64_t ms = 0;
    for (; ms <= 50000; ms += 33) TickAt(ms);
    ms += stall;
    TickAt(ms);
    for (const int64_t end = ms + 240000; ms <= end; ms += 33) {
      TickAt(ms);
      ASSERT_NEAR(AlphaSum(*scene), 1.0, 0.02) << "stall of " << stall << " ms, at " << renderer.timeSeconds << " s";
    }
  }
}

TEST_F(ZoomLayers, StateAtATimeDoesNotDependOnTheStepsThatLedThere) {
  // Restarts at ordinary frame rates come up to a frame late, and those delays
  // add up: about eight restarts per layer over the run give the tolerance.
  struct Case {
    const char* name;
    int64_t step;  // ms between frames from 20 s to 1000 s
    double seconds;  // how far a layer may be from the 30 fps run
  };
  const Case cases[] = {{"30 fps", 33, 0},
                        {"2 fps", 500, 4.5},
                        {"0.05 fps", 20000, 0.5},
                        {"stalls of 125 s", 125000, 0.5},
                        {"one stall", 980000, 0.5}};
  float reference[kZoomLayers] = {};
  for (const auto& c : cases) {
    Reset();
    int64_t ms = 0;
    for (; ms < 20000; ms += 33) TickAt(ms);
    for (; ms < 1000000; ms += c.step) TickAt(ms);
    for (ms = 1000000; ms <= 1010000; ms += 33) TickAt(ms);
    for (int i = 0; i < kZoomLayers; ++i) {
      if (c.step == 33) reference[i] = Layer(i).phase;
      EXPECT_NEAR(Layer(i).phase, reference[i], c.seconds / 120) << c.name << ", layer " << i;
    }
    EXPECT_NEAR(AlphaSum(*scene), 1.0, 0.02) << c.name;
  }
}

TEST_F(ZoomLayers, RenderAtOneFrameInTwentySecondsIsNeverBlack) {
  for (int64_t ms = 0; ms <= 86400000; ms += 20000) {
    TickAt(ms);
    ASSERT_NEAR(AlphaSum(*scene), 1.0, 0.02) << "at " << renderer.timeSeconds << " s";
  }
}

TEST_F(ZoomLayers, LayerWithoutAPictureStaysFinite) {
  scene->textures[2] = PictureTexture{};
  scene->layers[2].Setup(2);
  EXPECT_EQ(Layer(2).zoomBase, 0.0f);
  for (int64_t ms : {0, 60000, 70000, 90000, 100000}) {
    TickAt(ms);
    EXPECT_TRUE(std::isfinite(Layer(2).texW) && std::isfinite(Layer(2).texX)) << ms;
  }
}

}  // namespace
}  // namespace hl
