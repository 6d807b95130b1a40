// -fps through the program on a private X server, in every mode that draws:
// the overlay's box and text show in the lower-left corner of the window.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace {

using testing_support::SaverProcess;
using testing_support::TestClient;
using testing_support::XvfbServer;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Corner {
  int white = 0;
  int dark = 0;
  int other = 0;  // neither the box's black nor the text's white
  int left = 1 << 30, bottom = 1 << 30, top = -1;
  bool Drawn() const { return white >= 60 && dark >= 300; }
};

// The inside of the overlay's box, y upward from the window's bottom, in font
// pixels of `scale` screen pixels: the box spans 4…73 across (with the dashes'
// 11 characters; fewer with figures, so only up to 60 is read) and 4…24 up;
// the text starts at 6, 6 and is 16 high.
Corner ReadCorner(const platform::RgbaImage& image, int scale) {
  Corner c;
  for (int up = 4 * scale; up < 24 * scale; ++up) {
    for (int x = 4 * scale; x < 60 * scale; ++x) {
      const uint8_t* p = image.At(x, image.height - 1 - up);
      if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
        ++c.white;
        c.left = std::min(c.left, x);
        c.bottom = std::min(c.bottom, up);
        c.top = std::max(c.top, up);
      } else if (p[0] < 40 && p[1] < 40 && p[2] < 40) {
        ++c.dark;
      } else {
        ++c.other;
      }
    }
  }
  return c;
}

TEST(FpsOverlayX11, EveryDrawingModeShowsTheOverlay) {
  HL_REQUIRE_CAPABILITY(XvfbServer::Available(), "Xvfb");
  XvfbServer server;
  ASSERT_TRUE(server.Start("1280x1024x24"));  // -window's 1280 x 720 fits on it
  TestClient client(server.Display());
  ASSERT_TRUE(client.Connected());
  char config[] = "/tmp/hl-overlay-test-config-XXXXXX";
  ASSERT_NE(mkdtemp(config), nullptr);
  const std::string program = HL_PROGRAM;

  enum Target { kTheirs, kChildOfTheirs, kOwnByClass };
  const struct {
    const char* name;
    const char* tag;  // for the kept frame's file name
    Target target;
    const char* windowClass;
    std::vector<std::string> args;  // "ID" stands for the test's window
    bool daemonVariable;
  } rows[] = {
      {"/s", "s", kOwnByClass, "OpenGL", {"/s", "-fps"}, false},
      {"/p", "p", kChildOfTheirs, "OpenGL", {"--fps-overlay", "/p", "ID"}, false},
      {"-root", "root", kTheirs, "", {"-root", "-fps"}, true},
      {"-window-id", "window-id", kTheirs, "", {"-window-id", "ID", "--fps-overlay"}, false},
      {"-window", "window", kOwnByClass, "HarborLights", {"-window", "-fps"}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Window theirs = row.target == kOwnByClass ? 0 : client.MakeWindow(320, 240);
    std::vector<std::string> args = {program};
    for (const std::string& a : row.args) args.push_back(a == "ID" ? std::to_string(theirs) : a);
    std::vector<std::string> environment = {std::string("XDG_CONFIG_HOME=") + config};
    if (row.daemonVariable) environment.push_back("XSCREENSAVER_WINDOW=" + std::to_string(theirs));
    SaverProcess saver(server.Display(), args, environment);

    Window drawn = theirs;
    if (row.target != kTheirs) drawn = client.WaitForWindowOfClass(row.windowClass, 10, theirs);
    ASSERT_NE(drawn, 0u) << saver.Stderr();
    // The box with its dashes comes with the first frame, the figures a second later.
    Corner corner;
    platform::RgbaImage image;
    int scale = 1;
    for (int i = 0; i < 100 && !corner.Drawn(); ++i, Pause(50)) {
      image = client.Capture(drawn);
      if (image.width == 0) continue;
      scale = image.height >= 360 ? image.height / 360 : 1;
      corner = ReadCorner(image, scale);
    }
    EXPECT_TRUE(corner.Drawn()) << testing_support::KeepFrame(image, row.tag) << saver.Stderr();
    EXPECT_EQ(corner.other, 0) << testing_support::KeepFrame(image, row.tag);
    EXPECT_EQ(corner.left, 6 * scale);
    EXPECT_EQ(corner.bottom, 6 * scale);
    EXPECT_EQ(corner.top, 22 * scale - 1);
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(2), 0) << saver.Stderr();
    if (theirs) client.Destroy(theirs);
  }
  rmdir(config);
}

}  // namespace
