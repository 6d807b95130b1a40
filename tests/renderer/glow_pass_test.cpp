#include "renderer/glow_pass.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

namespace hl {
namespace {

using testing_support::KeepFrame;

// A small bright square at the centre, drawn unmirrored; optionally asks for
// glow, and leaves behind GL state the overlay must put right.
class SpotScene : public Scene {
 public:
  using Scene::Scene;
  void Draw() override {
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3f(-0.8f, -0.8f, 0);
    glVertex3f(0.8f, -0.8f, 0);
    glVertex3f(0.8f, 0.8f, 0);
    glVertex3f(-0.8f, 0.8f, 0);
    glEnd();
  }
  void End() override {
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glDisable(GL_DEPTH_TEST);
    glGenTextures(1, &stray);
    glBindTexture(GL_TEXTURE_2D, stray);
  }
  bool WantsGlow() override { return glow; }
  bool UsesMirrors() override { return false; }
  bool glow = false;
  GLuint stray = 0;
};

Scene* MakeSpotScene(int index, KaleidoscopeRenderer* r) { return index == 0 ? new SpotScene(r) : nullptr; }

class GlowPass : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 320, 240), "a headless EGL context");
    ResetRendererProcessState();
    platform::UseTimeSource(&clock);
    OverrideSceneFactory(MakeSpotScene);
    renderer.Create(320, 240);
    scene = static_cast<SpotScene*>(renderer.scene.get());
  }
  void TearDown() override {
    renderer.Destroy();
    OverrideSceneFactory(nullptr);
    platform::UseTimeSource(nullptr);
  }
  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
  SpotScene* scene = nullptr;
};

TEST_F(GlowPass, ProbeNeedsBothExtensionNamesAsSubstrings) {
  const struct {
    const char* extensions;
    bool supported;
  } cases[] = {
      {"GL_EXT_compiled_vertex_array GL_ARB_multitexture", true},
      {"GL_ARB_multitextureX GL_EXT_compiled_vertex_arrayY", true},  // a plain substring search
      {"GL_ARB_multitexture", false},
      {"GL_EXT_compiled_vertex_array", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : cases) {
    glowSupported = false;
    glowTexture = 0;
    ProbeGlow(c.extensions);
    EXPECT_EQ(glowSupported, c.supported) << (c.extensions ? c.extensions : "(null)");
    EXPECT_EQ(glowTexture != 0, c.supported) << "the capture texture is made only when supported";
    if (glowTexture) glDeleteTextures(1, &glowTexture);
  }
}

TEST_F(GlowPass, ProbeMakesABlackTransparentCaptureTexture) {
  ASSERT_TRUE(glowSupported);
  ASSERT_NE(glowTexture, 0u);
  glBindTexture(GL_TEXTURE_2D, glowTexture);
  GLint w = 0, h = 0, minFilter = 0, magFilter = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 128);
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(magFilter, GL_LINEAR);
  std::vector<unsigned char> texels(128 * 128 * 4, 7);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_TRUE(std::all_of(texels.begin(), texels.end(), [](unsigned char c) { return c == 0; }));
}

TEST_F(GlowPass, BrightSpotGetsAHaloOnlyWithGlow) {
  // The square spans about 35 px; the most magnified copy (window 0.22…0.78)
  // spreads it to about 1.8 times that. The band 20…28 px from the centre (in
  // the larger of x and y) lies outside the square and inside the halo.
  auto bandBrightness = [](const platform::RgbaImage& image) {
    double total = 0;
    int n = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        const int d = std::max(std::abs(x - 160), std::abs(y - 120));
        if (d <= 20 || d > 28) continue;
        const uint8_t* p = image.At(x, y);
        total += (p[0] + p[1] + p[2]) / 3.0;
        ++n;
      }
    return total / n;
  };
  const testing_support::Point centre{160, 120};
  scene->glow = false;
  renderer.Frame();
  const platform::RgbaImage plain = context.ReadPixels();
  scene->glow = true;
  renderer.Frame();
  const platform::RgbaImage glowing = context.ReadPixels();
  EXPECT_LT(bandBrightness(plain), 1.0) << KeepFrame(plain, "plain");
  EXPECT_GT(bandBrightness(glowing), bandBrightness(plain) + 8.0) << KeepFrame(glowing, "glow");
  // The spot itself is still drawn at full size.
  EXPECT_GT(testing_support::MeanBrightness(glowing, centre, 5), 250.0) << KeepFrame(glowing, "glow");
}

TEST_F(GlowPass, OverlayLeavesTheStateItPromises) {
  scene->glow = true;
  renderer.Frame();
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  GLint bound = -1, mode = 0, projectionDepth = 0, modelviewDepth = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(projectionDepth, 1);
  EXPECT_EQ(modelviewDepth, 1);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 240);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace hl
