// Incremental scenes draw over the front buffer once the first two frames have
// cleared and presented. A pbuffer has no front buffer, so this runs on a
// double-buffered GLX window on a private X server.
// gtest first: Xlib's None macro would break its headers.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "tests/support/capability.h"
#include "tests/support/xvfb_server.h"

namespace hl {
namespace {

// Frame k fills a square of its own colour; the square shrinks each frame, so
// what an earlier frame drew stays visible around it unless the frame cleared.
class LayeringScene : public Scene {
 public:
  using Scene::Scene;
  bool DrawsIncrementally() override { return true; }
  bool UsesMirrors() override { return false; }
  void Update() override { ++frame; }
  void Draw() override {
    static const float colours[][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    const float* c = colours[(frame - 1) % 4];
    const float half = 6.0f / frame;
    glColor3fv(c);
    glBegin(GL_QUADS);
    glVertex3f(-half, -half, 0);
    glVertex3f(half, -half, 0);
    glVertex3f(half, half, 0);
    glVertex3f(-half, half, 0);
    glEnd();
  }
  int frame = 0;
};

Scene* MakeLayeringScene(int index, KaleidoscopeRenderer* r) { return index == 0 ? new LayeringScene(r) : nullptr; }

TEST(FrontBuffer, IncrementalFramesDrawOverTheFrontBufferWithoutSwapping) {
  HL_REQUIRE_CAPABILITY(testing_support::XvfbServer::Available(), "Xvfb");
  testing_support::XvfbServer server;
  ASSERT_TRUE(server.Start("640x480x24"));
  Display* display = XOpenDisplay(server.Display().c_str());
  ASSERT_NE(display, nullptr);
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                      GLX_DEPTH_SIZE, 16, None};
  XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
  HL_REQUIRE_CAPABILITY(visual != nullptr, "a double-buffered GLX visual");
  Window root = RootWindow(display, visual->screen);
  XSetWindowAttributes wa{};
  wa.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  Window window = XCreateWindow(display, root, 0, 0, 200, 200, 0, visual->depth, InputOutput, visual->visual,
                                CWColormap, &wa);
  XMapWindow(display, window);
  XSync(display, False);
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  ASSERT_TRUE(glXMakeCurrent(display, window, context));

  ResetRendererProcessState();
  platform::VirtualTimeSource clock;
  platform::UseTimeSource(&clock);
  OverrideSceneFactory(MakeLayeringScene);
  KaleidoscopeRenderer renderer;
  renderer.Create(200, 200);

  auto frontPixel = [&](int x, int y) {
    glFinish();
    glReadBuffer(GL_FRONT);
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (p[0] > 128 ? 4 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 1 : 0);
  };
  const int red = 4, green = 2, blue = 1, yellow = 6;

  const bool expectedPresent[] = {true, true, false, false};
  for (int f = 0; f < 4; ++f) {
    clock.AdvanceMilliseconds(16);
    const bool present = renderer.Frame();
    EXPECT_EQ(present, expectedPresent[f]) << "frame " << f + 1;
    if (present) glXSwapBuffers(display, window);
  }
  // Frames 1 and 2 were presented by swapping; frames 3 and 4 were drawn straight
  // into the front buffer over frame 2's picture.
  EXPECT_EQ(frontPixel(100, 100), yellow);   // frame 4's square, at the centre
  EXPECT_EQ(frontPixel(100 + 30, 100), blue);  // frame 3's square shows around it
  EXPECT_EQ(frontPixel(100 + 45, 100), green);  // and frame 2's around that
  EXPECT_NE(frontPixel(100 + 45, 100), red);

  renderer.Destroy();
  OverrideSceneFactory(nullptr);
  platform::UseTimeSource(nullptr);
  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, context);
  XDestroyWindow(display, window);
  XFree(visual);
  XCloseDisplay(display);
}

}  // namespace
}  // namespace hl
