// Window ids from the command line and from $XSCREENSAVER_WINDOW that name
// nothing to draw on: junk, negative, too large, missing, or a window of
// another screen of the display. Each is one line on standard error and a
// failure status, never a crash, a hang or drawing somewhere else.
#include <gtest/gtest.h>
// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/capability.h"
#include "tests/support/xvfb_server.h"

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

}  // namespace
}  // namespace hl
