// The wedge seams of the real zoom scene: every pixel inside the kaleidoscope
// is covered by exactly one copy per layer. A gap between two copies shows as
// a black pinhole that stands still on the seam; a seam drawn by both copies
// blends its layers twice and shows as a bright line.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "renderer/wedge_config.h"
#include "scenes/zoom_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

namespace hl {
namespace {

using testing_support::KeepFrame;

int MaxChannel(const uint8_t* p) { return std::max({p[0], p[1], p[2]}); }

// Radius in pixels of the disc every rotation of the layers' squares covers
// (half-size 9 at z = 0, seen from 5.5 with a 90-degree field of view), less a
// margin for the square's anti-aliasing-free edge.
double DiscRadius(const platform::RgbaImage& image) { return 9.0 / 5.5 * image.height / 2.0 - 2.0; }

bool InDisc(const platform::RgbaImage& image, int x, int y, double radius) {
  const double dx = x + 0.5 - image.width / 2.0, dy = y + 0.5 - image.height / 2.0;
  return dx * dx + dy * dy < radius * radius;
}

// Pixels inside the disc that are black while none of their 8 neighbours is.
int CountPinholes(const platform::RgbaImage& image) {
  const double radius = DiscRadius(image);
  int count = 0;
  for (int y = 1; y + 1 < image.height; ++y)
    for (int x = 1; x + 1 < image.width; ++x) {
      if (!InDisc(image, x, y, radius) || MaxChannel(image.At(x, y)) != 0) continue;
      bool isolated = true;
      for (int dy = -1; dy <= 1 && isolated; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if ((dx || dy) && MaxChannel(image.At(x + dx, y + dy)) < 8) isolated = false;
      if (isolated) ++count;
    }
  return count;
}

class ZoomSeams : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  void SetUp() override {
    width = GetParam().first;
    height = GetParam().second;
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, width, height), "a headless EGL context");
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    platform::UseTimeSource(&clock);
    renderer.Create(width, height);
    scene = dynamic_cast<ZoomScene*>(renderer.scene.get());
  }
  void TearDown() override {
    renderer.Destroy();
    platform::UseTimeSource(nullptr);
  }
  platform::RgbaImage FrameAt(int64_t ms) {
    clock.SetCounter(ms * clock.CounterFrequency() / 1000);
    renderer.Frame();
    return context.ReadPixels();
  }
  // Every table entry in turn, each reached by a two-second blend, so the
  // frames show table configurations and blended ones alike.
  void NextConfigEvery(int k, int frames) {
    if (k % frames == 0) renderer.SetConfig((k / frames) % kWedgeTableSize, true);
  }

  int width = 0;
  int height = 0;
  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
  ZoomScene* scene = nullptr;
};

TEST_P(ZoomSeams, AMinuteOfFramesHasNoPinholes) {
  int total = 0;
  for (int k = 0; k < 120; ++k) {  // a minute at 2 frames a second
    NextConfigEvery(k, 8);
    const platform::RgbaImage frame = FrameAt(k * 500);
    const int pinholes = CountPinholes(frame);
    if (pinholes > 0 && total == 0) ADD_FAILURE() << "frame " << k << ": " << KeepFrame(frame, "pinholes");
    total += pinholes;
  }
  EXPECT_EQ(total, 0);
}

// With every picture a flat white, each pixel of the disc is the same blend of
// the same layers: a gap is darker, a seam drawn twice brighter.
TEST_P(ZoomSeams, FlatPicturesGiveAFlatDisc) {
  GLuint white = 0;
  glGenTextures(1, &white);
  glBindTexture(GL_TEXTURE_2D, white);
  const uint8_t texels[4 * 4] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  for (int i = 0; i < kZoomLayers; ++i) scene->textures[i].textureName = white;

  // Table configurations only: a blend may overlap its last wedge with the
  // first, or leave a sliver, by design.
  for (int k = 0; k < 56; ++k) {
    if (k % 4 == 0) renderer.SetConfig(k / 4 % kWedgeTableSize, false);
    const platform::RgbaImage frame = FrameAt(k * 500 + 3000);  // layers at partial alphas
    const double radius = DiscRadius(frame);
    const uint8_t* centre = frame.At(width / 2, height / 2);
    int off = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        if (!InDisc(frame, x, y, radius)) continue;
        const uint8_t* p = frame.At(x, y);
        if (std::abs(p[0] - centre[0]) > 1) {
          if (off++ == 0) firstX = x, firstY = y;
        }
      }
    ASSERT_EQ(off, 0) << "frame " << k << ": " << off << " pixels differ from the centre's " << int{centre[0]}
                      << ", first at " << firstX << "," << firstY << " (" << int{frame.At(firstX, firstY)[0]}
                      << "): " << KeepFrame(frame, "flat");
  }
  glDeleteTextures(1, &white);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZoomSeams, ::testing::Values(std::make_pair(1280, 720), std::make_pair(801, 601)),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
}  // namespace hl
