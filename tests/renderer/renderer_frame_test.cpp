// What the renderer asks and tells its scene, frame by frame, and the GL state
// it sets, on a real (headless) GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "renderer/glow_pass.h"
#include "renderer/kaleidoscope_renderer.h"
#include "tests/renderer/recording_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"

namespace hl {
namespace {

using Calls = std::vector<std::string>;

class RendererFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 96, 64), "a headless EGL context");
    ResetRendererProcessState();
    platform::UseTimeSource(&clock);
    OverrideSceneFactory(MakeRecordingScene);
    renderer.Create(96, 64);
    scene = static_cast<RecordingScene*>(renderer.scene.get());
  }
  void TearDown() override {
    renderer.Destroy();
    OverrideSceneFactory(nullptr);
    platform::UseTimeSource(nullptr);
  }

  // Calls of one frame, from the first question to the last.
  Calls FrameCalls(bool* present = nullptr) {
    scene->Clear();
    const bool p = renderer.Frame();
    if (present) *present = p;
    return scene->calls;
  }

  static Calls Pass(int draws) {
    Calls c = {"Begin", "ClipsWedges"};
    for (int i = 0; i < draws; ++i) c.push_back("Draw");
    c.push_back("End");
    return c;
  }
  static Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
  RecordingScene* scene = nullptr;
};

TEST_F(RendererFrame, CreateInitsTheSceneAndSetsUpTheView) {
  EXPECT_EQ(scene->calls, Calls{"Init"});
  EXPECT_EQ(renderer.timeSeconds, 0.0f);
  EXPECT_NE(renderer.current, nullptr);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint depthFunc = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(depthFunc, GL_LEQUAL);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 96);
  EXPECT_EQ(viewport[3], 64);
  // gluPerspective(90, 96/64, 1, 20): x scale = 1 / (tan 45 * aspect).
  GLdouble p[16];
  glGetDoublev(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[0], 64.0 / 96.0, 1e-6);
  EXPECT_NEAR(p[5], 1.0, 1e-6);
  EXPECT_NEAR(p[10], -21.0 / 19.0, 1e-6);
  EXPECT_NEAR(p[14], -40.0 / 19.0, 1e-6);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(RendererFrame, AsksTheCapabilityQuestionsBeforeTheUpdate) {
  renderer.SetConfig(0, false);  // 36 degrees, 10 wedges
  struct Case {
    const char* what;
    bool incremental, glow, mirrors;
    int frameIndex;  // frames drawn before this one
    Calls expected;
  };
  const Case cases[] = {
      {"plain", false, false, true, 0,
       Join({{"DrawsIncrementally", "UsesMirrors", "Update", "WantsGlow"}, Pass(10), {"WantsGlow"}})},
      {"incremental, initial clears left", true, false, true, 0,
       Join({{"DrawsIncrementally", "UsesMirrors", "Update", "WantsGlow"}, Pass(10), {"WantsGlow"}})},
      {"incremental after the initial clears asks for glow first", true, false, true, 2,
       Join({{"DrawsIncrementally", "WantsGlow", "UsesMirrors", "Update", "WantsGlow"}, Pass(10), {"WantsGlow"}})},
      {"glow: the kaleidoscope twice, the scene updated once", false, true, true, 0,
       Join({{"DrawsIncrementally", "UsesMirrors", "Update", "WantsGlow"}, Pass(10), Pass(10), {"WantsGlow"}})},
      {"no mirrors: one draw", false, false, false, 0,
       Join({{"DrawsIncrementally", "UsesMirrors", "Update", "WantsGlow"}, Pass(1), {"WantsGlow"}})},
  };
  for (const auto& c : cases) {
    initialFullClears = c.frameIndex == 0 ? 2 : 0;
    scene->drawsIncrementally = c.incremental;
    scene->wantsGlow = c.glow;
    scene->usesMirrors = c.mirrors;
    EXPECT_EQ(FrameCalls(), c.expected) << c.what;
  }
  EXPECT_TRUE(glowSupported) << "llvmpipe offers both glow extensions";
}

TEST_F(RendererFrame, WithoutGlowSupportTheSceneIsDrawnOnceWhateverItAnswers) {
  glowSupported = false;
  renderer.SetConfig(0, false);
  scene->wantsGlow = true;
  EXPECT_EQ(FrameCalls(),
            Join({{"DrawsIncrementally", "UsesMirrors", "Update", "WantsGlow"}, Pass(10), {"WantsGlow"}}));
}

TEST_F(RendererFrame, PassesRotateByTwoWedgesAndMirrorEachCopy) {
  struct Case {
    float angle;
    int passes;
  };
  // Table entries and blended angles, odd counts among them: the passes stop at
  // the first even i >= count.
  const Case cases[] = {{36.0f, 5}, {30.0f, 6}, {360.0f / 22, 11}, {17.125f, 11}, {17.0f, 11}, {29.99f, 6}};
  for (const auto& c : cases) {
    transition = TransitionState{};
    transition.inTransition = true;
    transition.fromAngle = transition.toAngle = c.angle;
    transition.duration = 2.0f;
    transition.startTime = -10.0f;  // t >= 1: ends the blend this frame at exactly c.angle
    FrameCalls();
    ASSERT_EQ(scene->draws.size(), static_cast<size_t>(2 * c.passes)) << "angle " << c.angle;
    for (int p = 0; p < c.passes; ++p) {
      const double expected = std::fmod(2.0 * p * c.angle, 360.0);
      const DrawRecord& plain = scene->draws[2 * p];
      const DrawRecord& mirror = scene->draws[2 * p + 1];
      EXPECT_NEAR(std::fmod(plain.rotationDegrees - expected + 720.0 + 180.0, 360.0) - 180.0, 0.0, 1e-3)
          << "pass " << p << " angle " << c.angle;
      EXPECT_FALSE(plain.mirrored);
      EXPECT_EQ(plain.frontFace, GL_CCW);
      EXPECT_TRUE(mirror.mirrored);
      EXPECT_EQ(mirror.frontFace, GL_CW);
      EXPECT_TRUE(plain.clipped && mirror.clipped);
    }
  }
  GLint front = 0;
  glGetIntegerv(GL_FRONT_FACE, &front);
  EXPECT_EQ(front, GL_CCW);
  EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
  EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE1));
}

TEST_F(RendererFrame, WithoutMirrorsOrClippingTheCopiesAreNotClipped) {
  renderer.SetConfig(0, false);
  scene->usesMirrors = false;
  FrameCalls();
  ASSERT_EQ(scene->draws.size(), 1u);
  EXPECT_FALSE(scene->draws[0].clipped);
  EXPECT_FALSE(scene->draws[0].mirrored);
  EXPECT_NEAR(scene->draws[0].rotationDegrees, 0.0, 1e-9);

  scene->usesMirrors = true;
  scene->clipsWedges = false;
  FrameCalls();
  ASSERT_EQ(scene->draws.size(), 10u);
  for (const auto& d : scene->draws) EXPECT_FALSE(d.clipped);

  // The saver's "Use Mirrors" option turned off works like the scene's answer.
  scene->clipsWedges = true;
  scene->Clear();
  renderer.Frame(false);
  ASSERT_EQ(scene->draws.size(), 1u);
  EXPECT_FALSE(scene->draws[0].clipped);
  EXPECT_EQ(std::count(scene->calls.begin(), scene->calls.end(), "UsesMirrors"), 1);
}

TEST_F(RendererFrame, IncrementalScenesDrawOverTheFrontBufferAfterTwoFullFrames) {
  scene->drawsIncrementally = true;
  const struct {
    bool present;
    GLint drawBuffer;
  } frames[] = {{true, GL_BACK}, {true, GL_BACK}, {false, GL_FRONT}, {false, GL_FRONT}};
  for (size_t i = 0; i < std::size(frames); ++i) {
    bool present = false;
    FrameCalls(&present);
    GLint drawBuffer = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    EXPECT_EQ(present, frames[i].present) << "frame " << i;
    EXPECT_EQ(drawBuffer, frames[i].drawBuffer) << "frame " << i;
  }
  EXPECT_EQ(initialFullClears, 0);
  // A frame with the glow pass active clears into the back buffer again.
  scene->wantsGlow = true;
  bool present = false;
  FrameCalls(&present);
  EXPECT_TRUE(present);
}

TEST_F(RendererFrame, ClockDrivesTheBlendAndUpdates) {
  renderer.SetConfig(0, false);
  clock.AdvanceMilliseconds(1500);
  renderer.SetConfig(4, true);  // starts at timeSeconds of the last frame: 0
  FrameCalls();
  EXPECT_FLOAT_EQ(renderer.timeSeconds, 1.5f);
  EXPECT_TRUE(transition.inTransition);
  clock.AdvanceMilliseconds(500);
  FrameCalls();
  EXPECT_EQ(renderer.timeSeconds, 2.0f);
  EXPECT_FALSE(transition.inTransition);
  // The frame that ends the blend draws the target configuration: 18 wedges.
  EXPECT_EQ(scene->draws.size(), 18u);
}

// A scene that cuts its own wedges: it keeps the copies it is handed.
class CuttingScene : public Scene {
 public:
  using Scene::Scene;
  bool CutsWedges() override { return true; }
  void Draw() override { ++plainDraws; }
  void DrawWedge(const WedgeCopy& copy) override {
    copies.push_back(copy);
    clipPlanesOn = clipPlanesOn || glIsEnabled(GL_CLIP_PLANE0) || glIsEnabled(GL_CLIP_PLANE1);
  }
  std::vector<WedgeCopy> copies;
  int plainDraws = 0;
  bool clipPlanesOn = false;
};

TEST(CutWedges, NeighbouringCopiesShareTheirSeamBitForBit) {
  platform::HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 64, 64), "a headless EGL context");
  ResetRendererProcessState();
  OverrideSceneFactory([](int, KaleidoscopeRenderer* r) -> Scene* { return new CuttingScene(r); });
  KaleidoscopeRenderer renderer;
  renderer.Create(64, 64);
  auto* scene = static_cast<CuttingScene*>(renderer.scene.get());
  constexpr double kRadians = 3.14159265358979323846 / 180.0;

  struct Case {
    float angle;
    int unmatchedEdges;  // the two ends of a ring that does not close
  };
  std::vector<Case> cases;
  for (int k = 0; k < kWedgeTableSize; ++k) cases.push_back({renderer.configs[k].angle, 0});
  cases.push_back({29.99f, 2});  // 12 wedges short of the circle: a sliver by design
  cases.push_back({30.02f, 2});  // 12 wedges overlapping by 0.24 degrees
  cases.push_back({33.0f, 2});   // 11 wedges, the last overlapping the first
  for (const Case& c : cases) {
    const WedgeConfig config = BuildWedgeConfig(c.angle);
    scene->copies.clear();
    renderer.DrawWedges(config);
    ASSERT_EQ(scene->copies.size(), static_cast<size_t>((config.count + 1) / 2 * 2)) << c.angle;
    EXPECT_EQ(scene->plainDraws, 0);
    EXPECT_FALSE(scene->clipPlanesOn);
    // Every edge is where the designed rotation and mirroring put the wedge's.
    std::vector<std::pair<double, double>> edges;
    for (const WedgeCopy& copy : scene->copies) {
      double low[2], high[2];
      copy.Place(0, -1, low);
      copy.Place(std::sin(c.angle * kRadians), -std::cos(c.angle * kRadians), high);
      for (int j = 0; j < 2; ++j) {
        EXPECT_NEAR(copy.lowEdge[j], low[j], 1e-6) << c.angle;
        EXPECT_NEAR(copy.highEdge[j], high[j], 1e-6) << c.angle;
      }
      edges.emplace_back(copy.lowEdge[0], copy.lowEdge[1]);
      edges.emplace_back(copy.highEdge[0], copy.highEdge[1]);
    }
    // Each seam of the ring belongs to two copies, with the same numbers.
    int unmatched = 0;
    for (const auto& e : edges)
      if (std::count(edges.begin(), edges.end(), e) != 2) ++unmatched;
    EXPECT_EQ(unmatched, c.unmatchedEdges) << "angle " << c.angle << ", count " << config.count;
  }
  renderer.Destroy();
  OverrideSceneFactory(nullptr);
}

TEST(SceneFactory, OnlyIndexZeroYieldsAScene) {
  KaleidoscopeRenderer r;
  std::unique_ptr<Scene> zero(CreateScene(0, &r));
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->renderer, &r);
  EXPECT_EQ(CreateScene(1, &r), nullptr);
  EXPECT_EQ(CreateScene(-1, &r), nullptr);
}

}  // namespace
}  // namespace hl
