// Every monitor, on a private Xorg with the dummy driver and two 1024 x 768
// monitors side by side: the real program draws one kaleidoscope centred on
// each monitor its window covers, follows a monitor turned off and on again,
// and draws -window-id's window as one view.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"
#include "tests/support/xorg_dummy_server.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace {

using testing_support::KeepFrame;
using testing_support::Point;
using testing_support::SaverProcess;
using testing_support::TestClient;
using testing_support::XorgDummyServer;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Where a kaleidoscope must be centred, and how far out to look.
struct Pattern {
  Point centre;
  double radius;
};

constexpr double kTolerance = 12.0;  // mean of 0…255: the screen's patterns move while captured

// The wedge count is random: the best of the table's rotations by two wedges.
double WedgeRotationError(const platform::RgbaImage& frame, const Pattern& p) {
  double best = 1e9;
  for (int n = 10; n <= 22; n += 2) {
    best = std::min(best, testing_support::RotationError(frame, p.centre, p.radius, 2 * 360.0 / n));
  }
  return best;
}

double MirrorError(const platform::RgbaImage& frame, const Pattern& p, double shift = 0) {
  return testing_support::ReflectionError(frame, {p.centre.x + shift, p.centre.y}, p.radius, 270.0);
}

// A dim or plain moment of the animation is symmetric about any point: the
// pattern counts only where the mirror line 40 pixels off its centre is
// clearly wrong.
bool ShowsPatterns(const platform::RgbaImage& frame, int width, const std::vector<Pattern>& patterns) {
  if (frame.width != width) return false;
  for (const Pattern& p : patterns) {
    const double mirror = MirrorError(frame, p);
    if (WedgeRotationError(frame, p) > kTolerance || mirror > kTolerance) return false;
    if (MirrorError(frame, p, 40) < 2 * mirror + kTolerance) return false;
  }
  return true;
}

std::string Describe(const platform::RgbaImage& frame, const std::vector<Pattern>& patterns) {
  std::string text = "screen " + std::to_string(frame.width) + "x" + std::to_string(frame.height);
  for (const Pattern& p : patterns) {
    text += "; about " + std::to_string(static_cast<int>(p.centre.x)) + "," +
            std::to_string(static_cast<int>(p.centre.y)) + ": rotation " +
            std::to_string(WedgeRotationError(frame, p)) + ", mirror " + std::to_string(MirrorError(frame, p)) +
            ", mirror 40 px off " + std::to_string(MirrorError(frame, p, 40));
  }
  return text;
}

class MonitorsX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(XorgDummyServer::Available(), "Xorg with the dummy driver, run as root");
    ASSERT_TRUE(server.Start(2048, 768)) << server.Log();
    ASSERT_TRUE(server.EnableOutput("DUMMY1", "1024x768", "DUMMY0")) << server.Log();
    client = std::make_unique<TestClient>(server.Display());
    ASSERT_TRUE(client->Connected());
    std::string monitors;
    testing_support::RunWithDisplay(server.Display(), "xrandr --listmonitors", &monitors);
    ASSERT_NE(monitors.find("Monitors: 2"), std::string::npos) << monitors;
    char folder[] = "/tmp/hl-monitors-test-config-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    configHome = folder;
  }
  void TearDown() override {
    client.reset();
    if (!configHome.empty()) std::system(("rm -rf '" + configHome + "'").c_str());
  }

  // Captures the screen until it shows `patterns` on a screen `width` wide,
  // for up to `seconds`; the last capture either way.
  platform::RgbaImage WaitForPatterns(int width, const std::vector<Pattern>& patterns, double seconds, bool* shown) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    platform::RgbaImage frame;
    do {
      frame = client->Capture(client->Root());
      *shown = ShowsPatterns(frame, width, patterns);
      if (*shown) break;
      Pause(200);
    } while (std::chrono::steady_clock::now() < deadline);
    return frame;
  }

  XorgDummyServer server;
  std::unique_ptr<TestClient> client;
  std::string configHome;
};

const Pattern kLeftMonitor{{512, 384}, 380};
const Pattern kRightMonitor{{1536, 384}, 380};

// -root and /s cover the whole screen: a kaleidoscope on each monitor; with the
// right monitor off, one on the left monitor alone (the designed frame there,
// for -root, whose root window shrinks to it); with it on again, two.
TEST_F(MonitorsX11Test, FullScreenModesDrawOnEveryMonitorAndFollowChanges) {
  const struct {
    const char* name;
    std::vector<std::string> args;
  } rows[] = {{"-root", {HL_PROGRAM, "-root"}}, {"/s", {HL_PROGRAM, "/s"}}};
  const struct {
    const char* change;  // "" for none
    int screenWidth;
    std::vector<Pattern> patterns;
  } steps[] = {
      {"", 2048, {kLeftMonitor, kRightMonitor}},
      {"off", 1024, {kLeftMonitor}},
      {"on", 2048, {kLeftMonitor, kRightMonitor}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SaverProcess saver(server.Display(), row.args, {"XDG_CONFIG_HOME=" + configHome, "XSCREENSAVER_WINDOW="});
    for (const auto& step : steps) {
      SCOPED_TRACE(*step.change ? std::string("monitor ") + step.change : std::string("at start"));
      const std::string change = step.change;
      if (change == "off") {
        ASSERT_TRUE(server.DisableOutput("DUMMY1"));
      } else if (change == "on") {
        ASSERT_TRUE(server.EnableOutput("DUMMY1", "1024x768", "DUMMY0"));
      }
      bool shown = false;
      const platform::RgbaImage frame = WaitForPatterns(step.screenWidth, step.patterns, 10, &shown);
      EXPECT_TRUE(shown) << Describe(frame, step.patterns) << "; frame: " << KeepFrame(frame, row.name + 1)
                         << "; " << saver.Stderr();
      EXPECT_TRUE(saver.Running()) << saver.Stderr();
    }
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(5), 0) << saver.Stderr();
  }
}

// An ordinary window across both monitors draws one kaleidoscope on each of its
// two parts; a window handed over by number is drawn as one view wherever it is.
TEST_F(MonitorsX11Test, OwnWindowSplitsAndForeignWindowDoesNot) {
  {
    SCOPED_TRACE("-window, 1280 x 720 at the top left");
    SaverProcess saver(server.Display(), {HL_PROGRAM, "-window"}, {"XDG_CONFIG_HOME=" + configHome});
    ASSERT_NE(client->WaitForWindowOfClass("HarborLights", 10), 0u) << saver.Stderr();
    const std::vector<Pattern> parts = {{{512, 360}, 355}, {{1152, 360}, 125}};
    bool shown = false;
    const platform::RgbaImage frame = WaitForPatterns(2048, parts, 10, &shown);
    EXPECT_TRUE(shown) << Describe(frame, parts) << "; frame: " << KeepFrame(frame, "window") << "; "
                       << saver.Stderr();
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(5), 0) << saver.Stderr();
  }
  {
    SCOPED_TRACE("-window-id, a window over the whole screen");
    const Window target = client->MakeWindow(2048, 768);
    SaverProcess saver(server.Display(), {HL_PROGRAM, "-window-id", std::to_string(target)},
                       {"XDG_CONFIG_HOME=" + configHome});
    const std::vector<Pattern> whole = {{{1024, 384}, 380}};
    bool shown = false;
    const platform::RgbaImage frame = WaitForPatterns(2048, whole, 10, &shown);
    EXPECT_TRUE(shown) << Describe(frame, whole) << "; frame: " << KeepFrame(frame, "window-id") << "; "
                       << saver.Stderr();
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(5), 0) << saver.Stderr();
  }
}

}  // namespace
