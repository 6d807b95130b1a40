// Window ids from the command line and from $XSCREENSAVER_WINDOW that name
// nothing to draw on: junk, negative, too large, missing, or a window of
// another screen of the display. Each is one line on standard error and a
// failure status, never a crash, a hang or drawing somewhere else.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/capability.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace hl {
namespace {

std::string Hex(unsigned long id) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lx", id);
  return text;
}

TEST(WindowIds, NamingNothingToDrawOnIsOneLineAndAFailure) {
  HL_REQUIRE_CAPABILITY(testing_support::XvfbServer::Available(), "Xvfb");
  testing_support::XvfbServer server;
  ASSERT_TRUE(server.Start("640x480x24", {"-screen", "1", "320x240x24"}));
  Display* display = XOpenDisplay(server.Display().c_str());
  ASSERT_NE(display, nullptr);
  ASSERT_EQ(ScreenCount(display), 2);
  const std::string otherScreen = Hex(RootWindow(display, 1));
  XCloseDisplay(display);

  const struct {
    std::string environment;  // XSCREENSAVER_WINDOW, "" for unset
    std::string arguments;
    int status;
    std::string said;
  } cases[] = {
      {"junk", "-root", 1, "'junk'"},
      {"-5", "-root", 1, "'-5'"},
      {"0x", "-root", 1, "'0x'"},
      {"12\n34", "-root", 1, "'12?34'"},
      {"99999999999", "-root", 1, "'99999999999'"},
      {"0x99999", "-root", 1, "no window 0x99999"},
      {otherScreen, "-root", 1, "is on screen 1"},
      {"", "-window-id 0x99999", 1, "no window 0x99999"},
      {"", "-window-id 629145", 1, "no window 629145"},
      {"", "-window-id 0xffffffff", 1, "no window 0xffffffff"},
      {"", "-window-id " + otherScreen, 1, "is on screen 1"},
      {"", "-window-id junk", 2, "'junk'"},
      {"", "-window-id -5", 2, "'-5'"},
      {"", "-window-id 0x1ffffffff", 2, "'0x1ffffffff'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("XSCREENSAVER_WINDOW=" + c.environment + " " + c.arguments);
    const std::string variable =
        c.environment.empty() ? "env -u XSCREENSAVER_WINDOW" : "env XSCREENSAVER_WINDOW='" + c.environment + "'";
    // A window it wrongly took would be drawn on until the timeout (124).
    std::string errors;
    const int status = testing_support::RunWithDisplay(
        server.Display(), variable + " timeout 20 '" + HL_PROGRAM + "' " + c.arguments + " 2>&1 >/dev/null", &errors);
    EXPECT_EQ(status, c.status) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find(c.said), std::string::npos) << errors;
  }
}

// The daemon's conventions without -root or -window-id draw in a window of
// their own, sized and placed by -geometry.
TEST(OwnWindow, ConventionsAloneOpenItAndGeometrySizesIt) {
  HL_REQUIRE_CAPABILITY(testing_support::XvfbServer::Available(), "Xvfb");
  testing_support::XvfbServer server;
  ASSERT_TRUE(server.Start("1600x1000x24"));
  testing_support::TestClient client(server.Display());
  ASSERT_TRUE(client.Connected());
  char config[] = "/tmp/hl-own-window-config-XXXXXX";
  ASSERT_NE(mkdtemp(config), nullptr);
  const struct {
    std::vector<std::string> args;
    int width, height, x, y;
  } cases[] = {
      {{"-fps"}, 1280, 720, 0, 0},
      {{"-delay", "20000"}, 1280, 720, 0, 0},
      {{"-window", "-geometry", "320x200+10+20"}, 320, 200, 10, 20},
      {{"-geometry", "400x300"}, 400, 300, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {HL_PROGRAM};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args.back());
    testing_support::SaverProcess saver(server.Display(), args, {std::string("XDG_CONFIG_HOME=") + config});
    const Window window = client.WaitForWindowOfClass("HarborLights", 20);
    ASSERT_NE(window, 0u) << saver.Stderr();
    const XWindowAttributes attributes = client.Attributes(window);
    EXPECT_EQ(attributes.width, c.width);
    EXPECT_EQ(attributes.height, c.height);
    EXPECT_EQ(attributes.x, c.x);
    EXPECT_EQ(attributes.y, c.y);
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10), 0) << saver.Stderr();
  }
  rmdir(config);
}

}  // namespace
}  // namespace hl
