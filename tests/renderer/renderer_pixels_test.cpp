// The kaleidoscope on real Mesa: an asymmetric marker scene comes out with the
// dihedral symmetry of the wedge configuration, or once, unrotated, without
// mirrors. Failing checks keep the frame as a PNG beside the log.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "tests/renderer/marker_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

namespace hl {
namespace {

using testing_support::ImageCentre;
using testing_support::KeepFrame;
using testing_support::ReflectionError;
using testing_support::RotationError;

class RendererPixels : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, kWidth, kHeight), "a headless EGL context");
    ResetRendererProcessState();
    platform::UseTimeSource(&clock);
    OverrideSceneFactory(MakeMarkerScene);
    renderer.Create(kWidth, kHeight);
  }
  void TearDown() override {
    renderer.Destroy();
    OverrideSceneFactory(nullptr);
    platform::UseTimeSource(nullptr);
  }
  platform::RgbaImage Render(bool mirrorsOption) {
    renderer.Frame(mirrorsOption);
    return context.ReadPixels();
  }

  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;
  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
};

TEST_P(RendererPixels, MirroredFrameHasTheDihedralSymmetryOfItsConfiguration) {
  const int entry = GetParam();
  renderer.SetConfig(entry, false);
  const WedgeConfig& config = renderer.configs[entry];
  const platform::RgbaImage frame = Render(true);
  const auto centre = ImageCentre(frame);
  const double radius = kHeight / 2.0 - 2;
  const double tolerance = 6.0;  // mean of 0…255, edges and sampling included

  const double rotation = RotationError(frame, centre, radius, 2.0 * config.angle);
  EXPECT_LT(rotation, tolerance) << "rotation by " << 2 * config.angle << "; frame: " << KeepFrame(frame, "dihedral");
  // Every wedge edge, 270 + k * angle degrees, is a mirror line.
  for (int k = 0; k < 3; ++k) {
    const double line = 270.0 + k * config.angle;
    EXPECT_LT(ReflectionError(frame, centre, radius, line), tolerance)
        << "mirror line " << line << "; frame: " << KeepFrame(frame, "mirror");
  }
  // A rotation by a single wedge is not a symmetry (the gradient differs).
  EXPECT_GT(RotationError(frame, centre, radius, config.angle), 2 * tolerance)
      << KeepFrame(frame, "single-wedge");
  // The marker shows.
  EXPECT_GT(CountMarkerPixels(frame), 0);
}

INSTANTIATE_TEST_SUITE_P(TableEntries, RendererPixels, ::testing::Values(0, 3, 6));

TEST_F(RendererPixels, WithoutMirrorsTheMarkerAppearsOnceUnrotated) {
  renderer.SetConfig(0, false);
  const platform::RgbaImage mirrored = Render(true);
  const platform::RgbaImage plain = Render(false);
  const int copies = CountMarkerPixels(mirrored);
  const int once = CountMarkerPixels(plain);
  ASSERT_GT(once, 0) << KeepFrame(plain, "plain");
  EXPECT_NEAR(static_cast<double>(copies) / once, 10.0, 1.5)
      << KeepFrame(mirrored, "mirrored") << " " << KeepFrame(plain, "plain");
  // Unrotated: the marker lies right of and below the centre, as drawn.
  const auto centre = ImageCentre(plain);
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < plain.height; ++y)
    for (int x = 0; x < plain.width; ++x) {
      const uint8_t* p = plain.At(x, y);
      if (p[0] > 200 && p[1] > 200 && p[2] < 60) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  EXPECT_GT(sx / n, centre.x);
  EXPECT_GT(sy / n, centre.y);
  EXPECT_GT(ReflectionError(plain, centre, kHeight / 2.0 - 2, 270.0), 20.0) << KeepFrame(plain, "plain");
}

TEST_F(RendererPixels, SceneThatDrawsNothingLeavesTheClearColour) {
  OverrideSceneFactory([](int, KaleidoscopeRenderer* r) { return new Scene(r); });
  KaleidoscopeRenderer bare;
  ResetRendererProcessState();
  bare.Create(kWidth, kHeight);
  glClearColor(0, 0, 0, 1);
  EXPECT_TRUE(bare.Frame());
  const platform::RgbaImage frame = context.ReadPixels();
  EXPECT_EQ(testing_support::CountLitPixels(frame, 0), 0) << KeepFrame(frame, "bare");
  bare.Destroy();
}

}  // namespace
}  // namespace hl
