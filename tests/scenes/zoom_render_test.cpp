// Frames of the real zoom scene, with its embedded pictures, on Mesa.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

namespace hl {
namespace {

using testing_support::ImageCentre;
using testing_support::KeepFrame;
using testing_support::ReflectionError;
using testing_support::RotationError;

// The largest difference between the colour channels of any pixel: 0 for a grey frame.
int MaxChroma(const platform::RgbaImage& image) {
  int worst = 0;
  for (size_t i = 0; i < image.pixels.size(); i += 4) {
    const int r = image.pixels[i], g = image.pixels[i + 1], b = image.pixels[i + 2];
    worst = std::max({worst, std::abs(r - g), std::abs(g - b), std::abs(r - b)});
  }
  return worst;
}

class ZoomRender : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, kWidth, kHeight), "a headless EGL context");
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    platform::UseTimeSource(&clock);
    renderer.Create(kWidth, kHeight);
    scene = dynamic_cast<ZoomScene*>(renderer.scene.get());
  }
  void TearDown() override {
    renderer.Destroy();
    platform::UseTimeSource(nullptr);
  }
  platform::RgbaImage FrameAt(int64_t ms, bool mirrors = true) {
    clock.SetCounter(ms * clock.CounterFrequency() / 1000);
    renderer.Frame(mirrors);
    return context.ReadPixels();
  }

  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;
  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
  ZoomScene* scene = nullptr;
};

TEST_F(ZoomRender, FactoryMakesTheZoomSceneWithItsFourPictures) {
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(currentZoomScene, scene);
  const int widths[] = {512, 1024, 512, 512};
  for (int i = 0; i < kZoomLayers; ++i) {
    EXPECT_NE(scene->textures[i].textureName, 0u) << kZoomPictureNames[i];
    EXPECT_EQ(scene->layers[i].zoomBase, static_cast<float>(widths[i]));
  }
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[3], 1.0f);
}

TEST_F(ZoomRender, AtTimeZeroOnlyTheDepartingGreyLayerShows) {
  const platform::RgbaImage frame = FrameAt(0);
  EXPECT_LE(MaxChroma(frame), 2) << KeepFrame(frame, "t0");
  EXPECT_GT(testing_support::MeanBrightness(frame, ImageCentre(frame), kHeight / 2.0), 10.0) << KeepFrame(frame, "t0");
}

TEST_F(ZoomRender, AtThirtySecondsTheColourEyeFillsTheSquareWithTheWedgeSymmetry) {
  const platform::RgbaImage frame = FrameAt(30000);
  ASSERT_NEAR(scene->layers[0].alpha, 1.0f, 1e-5);
  for (int i = 1; i < kZoomLayers; ++i) EXPECT_EQ(scene->layers[i].alpha, 0.0f) << "layer " << i;
  EXPECT_GT(MaxChroma(frame), 60) << "colour shows; " << KeepFrame(frame, "t30");
  const WedgeConfig& config = *renderer.current;
  const auto centre = ImageCentre(frame);
  const double radius = kHeight / 2.0 - 2;
  EXPECT_LT(RotationError(frame, centre, radius, 2.0 * config.angle), 8.0) << KeepFrame(frame, "t30");
  EXPECT_LT(ReflectionError(frame, centre, radius, 270.0), 8.0) << KeepFrame(frame, "t30");
  EXPECT_LT(ReflectionError(frame, centre, radius, 270.0 + config.angle), 8.0) << KeepFrame(frame, "t30");
}

TEST_F(ZoomRender, WithoutMirrorsTheFrameLacksTheMirrorSymmetry) {
  const platform::RgbaImage frame = FrameAt(30000, false);
  const auto centre = ImageCentre(frame);
  const double radius = kHeight / 2.0 - 2;
  const double worst = std::min(ReflectionError(frame, centre, radius, 270.0),
                                ReflectionError(frame, centre, radius, 270.0 + renderer.current->angle));
  EXPECT_GT(worst, 10.0) << KeepFrame(frame, "no-mirrors");
}

TEST_F(ZoomRender, SkippingInvisibleLayersChangesNoPixel) {
  scene->combineLayers = false;  // four layers drawn are never combined
  for (int64_t ms : {0, 7000, 30000, 52000, 75000, 100000}) {
    scene->skipInvisibleLayers = true;
    const platform::RgbaImage skipped = FrameAt(ms);
    scene->skipInvisibleLayers = false;
    const platform::RgbaImage drawn = FrameAt(ms);
    ASSERT_TRUE(skipped.pixels == drawn.pixels)
        << "at " << ms << " ms: " << KeepFrame(skipped, "skipped") << " " << KeepFrame(drawn, "drawn");
  }
}

// One multitextured pass for the two shown layers gives the frames of the
// two blended passes, to within one step of rounding per channel. The
// pictures cover colour under grey, grey under colour and colour under colour.
TEST_F(ZoomRender, CombinedLayersMatchTheBlendedPassesWithinOne) {
  ASSERT_TRUE(OffersLayerCombining(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), nullptr))
      << "Mesa offers multitexturing";
  int differing = 0;
  for (int64_t ms : {0, 7000, 15000, 29000, 37000, 52000, 68000, 75000, 97000, 113000}) {
    if (ms == 68000) renderer.SetConfig(2, true);  // and frames of a blend
    scene->combineLayers = false;
    const platform::RgbaImage blended = FrameAt(ms);
    scene->combineLayers = true;
    const platform::RgbaImage combined = FrameAt(ms);
    int worst = 0;
    for (size_t i = 0; i < blended.pixels.size(); i += 4)
      for (size_t c = 0; c < 3; ++c) {
        const int d = std::abs(blended.pixels[i + c] - combined.pixels[i + c]);
        worst = std::max(worst, d);
        if (d) ++differing;
      }
    ASSERT_TRUE(scene->CanCombineLayers());
    ASSERT_LE(worst, 1) << "at " << ms << " ms: " << KeepFrame(blended, "blended") << " "
                        << KeepFrame(combined, "combined");
  }
  EXPECT_GT(differing, 0) << "the combined pass ran (its rounding differs somewhere)";
}

// Everything lies at z = 0 and the renderer tests with GL_LEQUAL, so a frame
// drawn as if there were no depth buffer (every fragment passes, nothing is
// written) is the same frame: the window's pixel format asks for none.
TEST_F(ZoomRender, TheDepthTestPassesEveryFragment) {
  for (int64_t ms : {0, 15000, 45000, 68000, 100000}) {
    if (ms == 68000) renderer.SetConfig(5, true);
    for (bool combine : {false, true}) {
      scene->combineLayers = combine;
      const platform::RgbaImage tested = FrameAt(ms);
      glDepthFunc(GL_ALWAYS);
      glDepthMask(GL_FALSE);
      const platform::RgbaImage untested = FrameAt(ms);
      glDepthFunc(GL_LEQUAL);
      glDepthMask(GL_TRUE);
      ASSERT_TRUE(tested.pixels == untested.pixels)
          << "at " << ms << " ms: " << KeepFrame(tested, "depth") << " " << KeepFrame(untested, "no-depth");
    }
  }
}

// Plain linear filtering for pictures shown magnified all over gives the very
// frames of their mipmapped filtering, over a whole cycle, one pass or two.
TEST_F(ZoomRender, PlainFiltersForMagnifiedPicturesChangeNoPixel) {
  int plainFrames = 0;
  for (int64_t ms = 0; ms < 120000; ms += 2500) {
    for (bool combine : {false, true}) {
      scene->combineLayers = combine;
      scene->plainFiltersWhenMagnified = false;
      const platform::RgbaImage mipmapped = FrameAt(ms);
      scene->plainFiltersWhenMagnified = true;
      const platform::RgbaImage plain = FrameAt(ms);
      GLint filter = 0;
      glBindTexture(GL_TEXTURE_2D, scene->textures[0].textureName);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
      if (filter == GL_LINEAR) ++plainFrames;
      ASSERT_TRUE(mipmapped.pixels == plain.pixels)
          << "at " << ms << " ms: " << KeepFrame(mipmapped, "mipmapped") << " " << KeepFrame(plain, "plain");
    }
  }
  EXPECT_GT(plainFrames, 0) << "the colour eye arrives magnified";
}

TEST(LayerCombining, NeedsItsThreeExtensionsByWholeName) {
  const std::string all = "GL_ARB_multitexture GL_ARB_texture_env_combine GL_ARB_texture_env_crossbar";
  struct Case {
    std::string extensions;
    const char* hidden;
    bool offered;
  };
  const Case cases[] = {
      {all, nullptr, true},
      {"GL_EXT_x " + all + " GL_EXT_y", "", true},
      {all, "GL_ARB_multitexture", false},
      {all, "GL_EXT_y GL_ARB_texture_env_crossbar", false},
      {all, "GL_ARB_multi", true},  // a prefix hides nothing
      {"GL_ARB_texture_env_combine GL_ARB_texture_env_crossbar", nullptr, false},
      {"GL_ARB_multitexture_x GL_ARB_texture_env_combine GL_ARB_texture_env_crossbar", nullptr, false},
      {"GL_ARB_multitexture GL_ARB_texture_env_combine", nullptr, false},
      {"", nullptr, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OffersLayerCombining(c.extensions.c_str(), c.hidden), c.offered)
        << c.extensions << " less " << (c.hidden ? c.hidden : "nothing");
  EXPECT_FALSE(OffersLayerCombining(nullptr, nullptr));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RenderCommand, SameSeedGivesByteIdenticalFrames) {
  const std::string program = testing_support::BinaryPath("shell/harbor-lights");
  const std::string base = testing_support::BinaryPath("test-artifacts/render-seed");
  ASSERT_EQ(std::system(("rm -rf " + base + "-a " + base + "-b " + base + "-c").c_str()), 0);
  const std::string args = " --seconds 0.1 --fps 20 --size 160x120 ";
  ASSERT_EQ(std::system((program + " --render " + base + "-a" + args + "--seed 7").c_str()), 0);
  ASSERT_EQ(std::system((program + " --render " + base + "-b" + args + "--seed 7").c_str()), 0);
  ASSERT_EQ(std::system((program + " --render " + base + "-c" + args + "--seed 7 --no-mirrors").c_str()), 0);
  for (int k = 0; k < 2; ++k) {
    const std::string name = "/frame-0000" + std::to_string(k) + ".png";
    const std::string a = ReadFile(base + "-a" + name);
    ASSERT_FALSE(a.empty()) << name;
    EXPECT_EQ(a, ReadFile(base + "-b" + name)) << name;
    EXPECT_NE(a, ReadFile(base + "-c" + name)) << name;
  }
  EXPECT_TRUE(ReadFile(base + "-a/frame-00002.png").empty()) << "0.1 s at 20 fps is two frames";
}

TEST(RenderCommand, BadValuesAndUnwritableFolders) {
  const std::string program = testing_support::BinaryPath("shell/harbor-lights");
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"--render /tmp/x --fps 0", 2},
      {"--render /tmp/x --seconds -1", 2},
      {"--render /tmp/x --size 12x", 2},
      {"--render /tmp/x --size 0x10", 2},
      {"--render /tmp/x --seed abc", 2},
      {"--render", 2},
      {"--seconds 3", 2},
      {"--render /dev/null/frames --seconds 0.05", 1},
      {"--render /proc/harbor-lights-frames --seconds 0.05", 1},
  };
  for (const auto& c : cases) {
    const std::string out = testing_support::BinaryPath("test-artifacts/render-bad.txt");
    const int raw = std::system((program + " " + c.args + " 2>" + out).c_str());
    EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.args;
    const std::string text = ReadFile(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << c.args << ": " << text;
  }
}

}  // namespace
}  // namespace hl
