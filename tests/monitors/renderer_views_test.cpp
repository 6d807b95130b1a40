// The kaleidoscope in several views of one window, as on a window that spans
// several monitors: each view is a whole kaleidoscope centred in it with its
// own aspect, all at the same moment; a single view that fills the window is
// the designed frame, pixel for pixel. On the headless context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "renderer/glow_pass.h"
#include "renderer/kaleidoscope_renderer.h"
#include "tests/renderer/marker_scene.h"
#include "tests/renderer/recording_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

namespace hl {
namespace {

using testing_support::KeepFrame;
using testing_support::Point;
using testing_support::ReflectionError;
using testing_support::RotationError;

constexpr int kWidth = 640;
constexpr int kHeight = 240;

// A white square off the centre, drawn once, with glow: its halo is made from
// the capture of its own view.
class GlowingSpotScene : public Scene {
 public:
  using Scene::Scene;
  void Draw() override {
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3f(0.4f, -0.2f, 0);
    glVertex3f(1.6f, -0.2f, 0);
    glVertex3f(1.6f, 1.0f, 0);
    glVertex3f(0.4f, 1.0f, 0);
    glEnd();
  }
  bool WantsGlow() override { return true; }
  bool UsesMirrors() override { return false; }
};

Scene* MakeGlowingSpotScene(int index, KaleidoscopeRenderer* r) {
  return index == 0 ? new GlowingSpotScene(r) : nullptr;
}

// The part of `image` in a view, top row first.
platform::RgbaImage Crop(const platform::RgbaImage& image, const ViewRect& view) {
  platform::RgbaImage part;
  part.width = view.width;
  part.height = view.height;
  const int top = image.height - (view.y + view.height);
  for (int y = 0; y < view.height; ++y) {
    const uint8_t* row = image.At(view.x, top + y);
    part.pixels.insert(part.pixels.end(), row, row + view.width * 4);
  }
  return part;
}

// The view's centre in image coordinates (y downward).
Point CentreOf(const ViewRect& view) {
  return {view.x + view.width / 2.0, kHeight - (view.y + view.height / 2.0)};
}

class RendererViews : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, kWidth, kHeight), "a headless EGL context");
    platform::UseTimeSource(&clock);
  }
  void TearDown() override {
    OverrideSceneFactory(nullptr);
    platform::UseTimeSource(nullptr);
  }

  // One frame of a fresh renderer for a `width` x `height` window drawn in
  // `views`, `ms` milliseconds after its creation, with table entry `entry`.
  platform::RgbaImage Render(SceneFactory factory, int width, int height, const std::vector<ViewRect>& views,
                             int entry = 0, int ms = 7300) {
    ResetRendererProcessState();
    clock = platform::VirtualTimeSource();
    OverrideSceneFactory(factory);
    KaleidoscopeRenderer renderer;
    renderer.Create(width, height);
    renderer.SetConfig(entry, false);
    renderer.SetViews(views);
    clock.AdvanceMilliseconds(ms);
    glClearColor(0, 0, 0, 1);
    renderer.Frame();
    platform::RgbaImage image = context.ReadPixels();
    renderer.Destroy();
    return image;
  }

  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
};

// Side by side, of other sizes and heights, one above the other: each view's
// centre is the centre of the wedge symmetry, with the view's own aspect (the
// window's would stretch the pattern and break the rotation).
TEST_F(RendererViews, EachViewIsAKaleidoscopeCentredInIt) {
  const struct {
    const char* name;
    std::vector<ViewRect> views;
  } layouts[] = {
      {"side by side", {{0, 0, 320, 240}, {320, 0, 320, 240}}},
      {"unequal, lower one raised", {{0, 60, 240, 180}, {240, 0, 400, 240}}},
      {"three across", {{0, 0, 213, 240}, {213, 0, 213, 240}, {426, 0, 214, 240}}},
      {"one above the other", {{160, 120, 320, 120}, {160, 0, 320, 120}}},
  };
  const int entry = 1;  // 12 wedges of 30 degrees
  const double tolerance = 6.0;
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.name);
    const platform::RgbaImage frame = Render(MakeMarkerScene, kWidth, kHeight, layout.views, entry);
    const double angle = 360.0 / 12;
    for (const ViewRect& view : layout.views) {
      const Point centre = CentreOf(view);
      const double radius = std::min(view.width, view.height) / 2.0 - 2;
      SCOPED_TRACE("view at " + std::to_string(view.x) + "," + std::to_string(view.y));
      EXPECT_LT(RotationError(frame, centre, radius, 2 * angle), tolerance) << KeepFrame(frame, "rotation");
      EXPECT_LT(ReflectionError(frame, centre, radius, 270.0), tolerance) << KeepFrame(frame, "mirror");
      // The checks can fail: one wedge's turn is no symmetry of this scene.
      EXPECT_GT(RotationError(frame, centre, radius, angle), 2 * tolerance) << KeepFrame(frame, "one-wedge");
    }
  }
}

// Every view of a split frame shows exactly what the designed frame of a
// window of the view's size shows at that moment, and one view that fills the
// window is the designed frame itself. The real zoom scene, and a glowing one
// whose capture must come from each view's own drawing and whose clear must
// leave the other views alone.
TEST_F(RendererViews, EachViewHoldsTheDesignedFrameOfItsSize) {
  const struct {
    const char* name;
    SceneFactory factory;
    int windowWidth;
    std::vector<ViewRect> views;
  } rows[] = {
      {"zoom scene, one view filling the window", nullptr, kWidth, {{0, 0, kWidth, kHeight}}},
      {"zoom scene, two views", nullptr, kWidth, {{0, 0, 320, 240}, {320, 0, 320, 240}}},
      {"glow, one view filling the window", MakeGlowingSpotScene, kWidth, {{0, 0, kWidth, kHeight}}},
      {"glow, two views", MakeGlowingSpotScene, kWidth, {{0, 0, 320, 240}, {320, 0, 320, 240}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ViewRect first = row.views.front();
    // The designed frame for a window of the view's size, in the lower-left
    // corner of the context.
    const platform::RgbaImage designed =
        Crop(Render(row.factory, first.width, first.height, {}), {0, 0, first.width, first.height});
    if (row.factory == MakeGlowingSpotScene) {
      ASSERT_TRUE(glowSupported) << "the glow pass did not run";
    }
    const platform::RgbaImage split = Render(row.factory, row.windowWidth, kHeight, row.views);
    for (const ViewRect& view : row.views) {
      SCOPED_TRACE("view at x " + std::to_string(view.x));
      const platform::RgbaImage part = Crop(split, view);
      ASSERT_EQ(part.pixels.size(), designed.pixels.size());
      size_t differing = 0;
      int largest = 0;
      for (size_t i = 0; i < part.pixels.size(); ++i) {
        const int d = std::abs(part.pixels[i] - designed.pixels[i]);
        differing += d != 0;
        largest = std::max(largest, d);
      }
      const std::string frames = KeepFrame(split, "split") + " " + KeepFrame(designed, "designed");
      if (view.x == 0 && view.y == 0) {
        EXPECT_EQ(differing, 0u) << frames;
      } else {
        // Elsewhere in the window the sampler may round the odd texel of a
        // magnified picture one level the other way; nothing more.
        EXPECT_LE(largest, 1) << frames;
        EXPECT_LT(differing, part.pixels.size() / 1000) << frames;
      }
    }
  }
}

// One clock and one scene update per frame, whatever the number of views; each
// view draws the whole ring of wedges.
TEST_F(RendererViews, ViewsShareOneUpdatePerFrame) {
  ResetRendererProcessState();
  OverrideSceneFactory(MakeRecordingScene);
  KaleidoscopeRenderer renderer;
  renderer.Create(kWidth, kHeight);
  renderer.SetConfig(0, false);  // 10 wedges: 10 draws with mirrors
  auto* scene = static_cast<RecordingScene*>(renderer.scene.get());
  const struct {
    const char* name;
    std::vector<ViewRect> views;
    int passes;
  } rows[] = {
      {"designed", {}, 1},
      {"two", {{0, 0, 320, 240}, {320, 0, 320, 240}}, 2},
      {"three", {{0, 0, 200, 240}, {200, 0, 200, 240}, {400, 0, 240, 240}}, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    renderer.SetViews(row.views);
    scene->Clear();
    clock.AdvanceMilliseconds(40);
    renderer.Frame();
    EXPECT_EQ(std::count(scene->calls.begin(), scene->calls.end(), "Update"), 1);
    EXPECT_EQ(std::count(scene->calls.begin(), scene->calls.end(), "Begin"), row.passes);
    EXPECT_EQ(std::count(scene->calls.begin(), scene->calls.end(), "Draw"), 10 * row.passes);
  }
  renderer.Destroy();
}

// Going back to one view restores the window's own viewport and projection.
TEST_F(RendererViews, BackToOneViewRestoresTheWindowsView) {
  ResetRendererProcessState();
  OverrideSceneFactory(MakeMarkerScene);
  KaleidoscopeRenderer renderer;
  renderer.Create(kWidth, kHeight);
  renderer.SetViews({{0, 0, 320, 240}, {320, 0, 320, 240}});
  renderer.Frame();
  renderer.SetViews({});
  EXPECT_TRUE(renderer.views.empty());
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[2], kWidth);
  EXPECT_EQ(viewport[3], kHeight);
  GLdouble p[16];
  glGetDoublev(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[0], static_cast<double>(kHeight) / kWidth, 1e-6);
  // Views without a pixel are dropped; one filling the window is no split.
  renderer.SetViews({{0, 0, 0, 240}, {0, 0, kWidth, kHeight}, {10, 10, 50, -1}});
  EXPECT_TRUE(renderer.views.empty());
  renderer.Destroy();
}

}  // namespace
}  // namespace hl
