// The frame-rate overlay: its figures against frames the test counts through
// the real frame loop on a virtual clock, where its text lands on a headless
// context, and that the GL state of the frame around it is left as it was.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "renderer/fps_overlay.h"
#include "shell/frame_loop.h"
#include "shell/run_mode.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"

namespace hl {
namespace {

using platform::HeadlessGlContext;
using platform::RgbaImage;

// Sleeps longer than asked, as a loaded machine does: Load must count the
// time actually slept, not the 10 ms asked for.
class OversleepingClock : public platform::VirtualTimeSource {
 public:
  void Sleep(uint32_t milliseconds) override { AdvanceMilliseconds(milliseconds + oversleep); }
  int oversleep = 0;
};

class FrameLoopOverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetWindowState();
    platform::ClearTerminationRequest();
    platform::UseTimeSource(&clock);
    clock.SetCounter(123'456'789);  // any origin
    fpsOverlayByOption = true;
  }
  void TearDown() override {
    fpsOverlayByOption = false;
    platform::UseTimeSource(nullptr);
    platform::ResetWindowState();
  }
  OversleepingClock clock;
};

struct Change {
  int frame;      // frames the test had counted when the text changed
  double second;  // virtual time then
  std::string fps;
  std::string load;
};

// Each frame takes `drawMs` of the virtual clock; the loop then sleeps 10 ms
// (plus the clock's oversleep). The test reads the loop's own overlay at every
// frame it draws.
TEST_F(FrameLoopOverlayTest, FiguresMatchTheFramesCounted) {
  HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 64, 48), "a headless EGL context");
  const struct {
    int drawMs;
    int oversleepMs;
    const char* fps;
    const char* load;
  } rows[] = {
      {0, 0, "FPS: 100.0", "Load: 0.0%"},    // nothing but sleeping
      {5, 0, "FPS: 66.7", "Load: 33.3%"},    // 5 of every 15 ms
      {30, 0, "FPS: 25.0", "Load: 75.0%"},
      {3, 2, "FPS: 66.7", "Load: 20.0%"},    // 12 ms slept of every 15
      {90, 0, "FPS: 10.0", "Load: 90.0%"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.drawMs) + " ms a frame, " + std::to_string(row.oversleepMs) + " ms oversleep");
    platform::ResetWindowState();
    clock.oversleep = row.oversleepMs;
    const double start = static_cast<double>(clock.Counter()) / clock.CounterFrequency();
    int frames = 0;
    std::vector<Change> changes;
    std::string lastFps = "FPS: --.-";
    RunFrameLoop(platform::kNoWindow, [&] {
      const FpsOverlay* overlay = ActiveFpsOverlay();
      EXPECT_NE(overlay, nullptr);
      if (!overlay) {
        platform::PostQuitMessage(0);
        return false;
      }
      const double now = static_cast<double>(clock.Counter()) / clock.CounterFrequency() - start;
      if (overlay->FpsLine() != lastFps) {
        lastFps = overlay->FpsLine();
        changes.push_back({frames, now, overlay->FpsLine(), overlay->LoadLine()});
      }
      ++frames;
      clock.AdvanceMilliseconds(row.drawMs);
      if (now >= 3.5) platform::PostQuitMessage(0);
      return true;
    });
    EXPECT_EQ(ActiveFpsOverlay(), nullptr);
    // Renewed about every second, always with the same figures: from the
    // dashes the text changes once, after the first second, and then stays.
    ASSERT_EQ(changes.size(), 1u);
    const int period = row.drawMs + 10 + row.oversleepMs;
    EXPECT_GE(changes[0].second, 1.0);
    EXPECT_LE(changes[0].second, 1.0 + 2.0 * period / 1000.0);
    EXPECT_EQ(changes[0].fps, row.fps);
    EXPECT_EQ(changes[0].load, row.load);
  }
}

// The figures follow a change of pace within about a second, and only once a
// measurement is complete.
TEST_F(FrameLoopOverlayTest, FiguresAreRenewedAboutOnceASecond) {
  HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 64, 48), "a headless EGL context");
  const double start = static_cast<double>(clock.Counter()) / clock.CounterFrequency();
  std::vector<Change> changes;
  std::string lastLoad = "Load: --.-%";
  int frames = 0;
  RunFrameLoop(platform::kNoWindow, [&] {
    const FpsOverlay* overlay = ActiveFpsOverlay();
    const double now = static_cast<double>(clock.Counter()) / clock.CounterFrequency() - start;
    if (overlay && overlay->LoadLine() != lastLoad) {
      lastLoad = overlay->LoadLine();
      changes.push_back({frames, now, overlay->FpsLine(), overlay->LoadLine()});
    }
    ++frames;
    clock.AdvanceMilliseconds(now < 2.0 ? 10 : 40);  // 50 % load, then 80 %
    if (now >= 4.5) platform::PostQuitMessage(0);
    return true;
  });
  ASSERT_GE(changes.size(), 2u);
  EXPECT_EQ(changes[0].fps, "FPS: 50.0");
  EXPECT_EQ(changes[0].load, "Load: 50.0%");
  EXPECT_EQ(changes.back().fps, "FPS: 20.0");
  EXPECT_EQ(changes.back().load, "Load: 80.0%");
  for (size_t i = 1; i < changes.size(); ++i) {
    EXPECT_GE(changes[i].second - changes[i - 1].second, 1.0 - 1e-9) << "renewed too early at " << changes[i].second;
  }
  EXPECT_LE(changes.back().second, 4.2) << "the new pace took too long to show";
  EXPECT_LE(changes.size(), 4u);
}

TEST_F(FrameLoopOverlayTest, NoOverlayWithoutTheOption) {
  fpsOverlayByOption = false;
  bool seen = false;
  RunFrameLoop(platform::kNoWindow, [&] {
    seen = ActiveFpsOverlay() != nullptr;
    platform::PostQuitMessage(0);
    return true;
  });
  EXPECT_FALSE(seen);
}

// An overlay that has measured 5 ms of drawing in every 15.
FpsOverlay MeasuredOverlay() {
  FpsOverlay overlay;
  double now = 0;
  for (int i = 0; i < 80; ++i) {
    now += 0.005;
    overlay.FrameDrawn(now);
    now += 0.010;
    overlay.Slept(0.010);
  }
  return overlay;
}

struct Box {
  int left = 1 << 30, bottom = 1 << 30, right = -1, top = -1;  // inclusive, y upward
  void Add(int x, int y) {
    left = std::min(left, x);
    right = std::max(right, x);
    bottom = std::min(bottom, y);
    top = std::max(top, y);
  }
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= bottom && y <= top; }
};

// On a blue frame the overlay leaves every pixel blue except a dark box in the
// lower-left corner of the viewport, with white text of the expected extent
// inside it: 11 glyph cells of 6 font pixels ("Load: 33.3%") less the last
// space, two lines of 7 rows 9 apart, 4 + 2 font pixels in from the corner.
TEST(FpsOverlayPixels, TextInTheLowerLeftCornerOfTheViewportOnly) {
  const struct {
    const char* name;
    int width, height;              // the framebuffer
    int vx, vy, vw, vh;             // the viewport the frame leaves
    int scale;                      // screen pixels per font pixel
  } rows[] = {
      {"preview-sized", 160, 120, 0, 0, 160, 120, 1},
      {"720 lines", 1280, 720, 0, 0, 1280, 720, 2},
      {"a monitor's view", 640, 480, 200, 100, 400, 360, 1},
  };
  const FpsOverlay overlay = MeasuredOverlay();
  ASSERT_EQ(overlay.LoadLine(), "Load: 33.3%");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    HeadlessGlContext context;
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, row.width, row.height), "a headless EGL context");
    glViewport(0, 0, row.width, row.height);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(row.vx, row.vy, row.vw, row.vh);
    overlay.Draw();
    const RgbaImage image = context.ReadPixels();

    Box white, dark;
    int strays = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const uint8_t* p = image.At(x, y);
        const int up = image.height - 1 - y;
        if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
          white.Add(x, up);
        } else if (p[0] < 30 && p[1] < 30 && p[2] < 30) {
          dark.Add(x, up);
        } else if (!(p[0] < 30 && p[1] < 30 && p[2] > 200)) {
          ++strays;
        }
      }
    }
    const int s = row.scale;
    const int textLeft = row.vx + 6 * s, textBottom = row.vy + 6 * s;
    EXPECT_EQ(strays, 0) << testing_support::KeepFrame(image, row.name);
    EXPECT_EQ(white.left, textLeft);
    EXPECT_EQ(white.bottom, textBottom);
    EXPECT_EQ(white.right, textLeft + (11 * 6 - 1) * s - 1);
    EXPECT_EQ(white.top, textBottom + 16 * s - 1) << testing_support::KeepFrame(image, row.name);
    EXPECT_EQ(dark.left, row.vx + 4 * s);
    EXPECT_EQ(dark.bottom, row.vy + 4 * s);
    EXPECT_LT(dark.right, row.vx + row.vw / 2);
    EXPECT_LT(dark.top, row.vy + row.vh / 4);
    // Blue everywhere outside the box.
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const int up = image.height - 1 - y;
        if (dark.Contains(x, up)) continue;
        const uint8_t* p = image.At(x, y);
        if (p[2] < 200 || p[0] > 30) {
          ADD_FAILURE() << "pixel (" << x << ", " << up << ") outside the box changed; "
                        << testing_support::KeepFrame(image, row.name);
          y = image.height;
          break;
        }
      }
    }
  }
}

// Different figures draw different text.
TEST(FpsOverlayPixels, TheFiguresShow) {
  HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 160, 120), "a headless EGL context");
  auto draw = [&](const FpsOverlay& overlay) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    overlay.Draw();
    return context.ReadPixels().pixels;
  };
  const std::vector<uint8_t> dashes = draw(FpsOverlay());
  const std::vector<uint8_t> measured = draw(MeasuredOverlay());
  FpsOverlay slower;
  slower.FrameDrawn(0);
  slower.FrameDrawn(1.0);  // one frame in a second, no sleep
  EXPECT_EQ(slower.FpsLine(), "FPS: 1.0");
  EXPECT_EQ(slower.LoadLine(), "Load: 100.0%");
  const std::vector<uint8_t> other = draw(slower);
  EXPECT_NE(dashes, measured);
  EXPECT_NE(measured, other);
  EXPECT_EQ(measured, draw(MeasuredOverlay()));
}

// What a frame leaves set, read back: the overlay must hand every bit of it on.
std::vector<double> GlState() {
  std::vector<double> state;
  const GLenum enables[] = {GL_TEXTURE_2D, GL_TEXTURE_1D, GL_BLEND,        GL_DEPTH_TEST, GL_CLIP_PLANE0,
                            GL_CLIP_PLANE1, GL_LIGHTING,  GL_FOG,          GL_CULL_FACE,  GL_ALPHA_TEST,
                            GL_SCISSOR_TEST, GL_DITHER,   GL_TEXTURE_GEN_S, GL_POLYGON_STIPPLE};
  for (GLenum e : enables) state.push_back(glIsEnabled(e));
  const GLenum queries[] = {GL_MODELVIEW_MATRIX,         GL_PROJECTION_MATRIX,         GL_TEXTURE_MATRIX,
                            GL_MATRIX_MODE,              GL_MODELVIEW_STACK_DEPTH,     GL_PROJECTION_STACK_DEPTH,
                            GL_VIEWPORT,                 GL_CURRENT_COLOR,             GL_TEXTURE_BINDING_2D,
                            GL_BLEND_SRC,                GL_BLEND_DST,                 GL_POLYGON_MODE,
                            GL_SHADE_MODEL,              GL_COLOR_WRITEMASK,           GL_DEPTH_WRITEMASK,
                            GL_DRAW_BUFFER,              GL_ATTRIB_STACK_DEPTH,        GL_COLOR_CLEAR_VALUE,
                            GL_DEPTH_FUNC,               GL_CULL_FACE_MODE,            GL_FRONT_FACE};
  for (GLenum q : queries) {
    GLdouble values[16] = {};
    glGetDoublev(q, values);
    const int count = q == GL_MODELVIEW_MATRIX || q == GL_PROJECTION_MATRIX || q == GL_TEXTURE_MATRIX ? 16 : 4;
    state.insert(state.end(), values, values + count);
  }
  GLdouble plane[4];
  glGetClipPlane(GL_CLIP_PLANE0, plane);
  state.insert(state.end(), plane, plane + 4);
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  state.push_back(env);
  return state;
}

TEST(FpsOverlayGlState, TheFramesStateIsLeftAsItWas) {
  HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 200, 150), "a headless EGL context");
  // The kind of state a kaleidoscope frame leaves behind, far from the defaults.
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_GREATER);
  glDepthMask(GL_FALSE);
  const GLdouble equation[4] = {0.5, -1, 0, 2};
  glClipPlane(GL_CLIP_PLANE0, equation);
  glEnable(GL_CLIP_PLANE0);
  glEnable(GL_CLIP_PLANE1);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glFrontFace(GL_CW);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glShadeModel(GL_FLAT);
  glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
  glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
  glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
  glViewport(10, 20, 150, 100);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1, 1, -0.75, 0.75, 1, 20);
  glMatrixMode(GL_TEXTURE);
  glScalef(2, 3, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1, 2, -5);
  glRotatef(30, 0, 0, 1);
  glPushMatrix();  // a frame in the middle of its wedges
  glRotatef(12, 0, 0, 1);
  glMatrixMode(GL_TEXTURE);  // and the matrix mode not the usual one
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  const std::vector<double> before = GlState();
  MeasuredOverlay().Draw();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::vector<double> after = GlState();
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(before[i], after[i]) << "state value " << i;
  glDeleteTextures(1, &texture);
}

}  // namespace
}  // namespace hl
