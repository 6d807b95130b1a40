// The saver on a private X server: the full-screen window and what ends it,
// the preview inside a window of the test's, the set-up failures, and the
// screen-saver daemon's conventions. Each case runs the program as a child
// process; "ends within a second" bounds are generous for a process exit.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace {

using testing_support::SaverProcess;
using testing_support::TestClient;
using testing_support::XdoTool;
using testing_support::XvfbServer;

std::string Program() { return HL_PROGRAM; }
std::string Runner() { return HL_SAVER_RUNNER; }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls `condition` every 50 ms for up to `seconds`: a loaded machine may take
// a while over the first frame.
template <typename Condition>
bool WaitUntil(Condition condition, double seconds = 10) {
  for (int i = 0; i < static_cast<int>(seconds * 20); ++i, Pause(50)) {
    if (condition()) return true;
  }
  return condition();
}

class SaverX11Test : public ::testing::Test {
 protected:
  void StartServer(const std::vector<std::string>& extra = {}) {
    HL_REQUIRE_CAPABILITY(XvfbServer::Available(), "Xvfb");
    ASSERT_TRUE(server.Start("640x480x24", extra));
    client = std::make_unique<TestClient>(server.Display());
    ASSERT_TRUE(client->Connected());
  }
  // The saver full screen, its window found; the pointer starts at (200, 200).
  std::unique_ptr<SaverProcess> StartSaver(Window* window) {
    XdoTool(server.Display(), "mousemove 200 200");
    auto saver = std::make_unique<SaverProcess>(server.Display(), std::vector<std::string>{Runner(), "/s"});
    *window = client->WaitForWindowOfClass("OpenGL", 10);
    // Shown, grabbed and drawing.
    WaitUntil([&] {
      int brightest = 0;
      client->MeanBrightness(client->Root(), &brightest);
      return client->KeyboardGrabbedElsewhere() && brightest > 40;
    });
    return saver;
  }

  XvfbServer server;
  std::unique_ptr<TestClient> client;
};

TEST_F(SaverX11Test, FullScreenWindowCoversTheScreenGrabsAndHidesTheCursor) {
  StartServer();
  Window window = 0;
  auto saver = StartSaver(&window);
  ASSERT_NE(window, 0u) << saver->Stderr();
  const XWindowAttributes a = client->Attributes(window);
  EXPECT_EQ(a.width, 640);
  EXPECT_EQ(a.height, 480);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_TRUE(a.override_redirect);
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_EQ(client->Name(window), "SaverWindow");
  EXPECT_TRUE(client->KeyboardGrabbedElsewhere());
  EXPECT_TRUE(client->CursorHidden());
  int brightest = 0;
  client->MeanBrightness(client->Root(), &brightest);
  const platform::RgbaImage frame = client->Capture(client->Root());
  EXPECT_TRUE(saver->Running());
  kill(saver->Pid(), SIGTERM);
  EXPECT_EQ(saver->WaitForExit(5), 0) << saver->Stderr();
  EXPECT_FALSE(client->KeyboardGrabbedElsewhere()) << "the grab outlived the saver";
  // The kaleidoscope repeats every two wedges; its wedge count is random.
  EXPECT_GT(brightest, 40) << "the screen shows no colour";
  double best = 1e9;
  for (int n = 10; n <= 22; n += 2) {
    best = std::min(best, testing_support::RotationError(frame, testing_support::ImageCentre(frame), 230,
                                                         2 * 360.0 / n));
  }
  EXPECT_LT(best, 12.0) << "no wedge symmetry; frame: " << testing_support::KeepFrame(frame, "fullscreen");
}

// What ends the full-screen saver and what does not. A case that keeps it
// running then checks that a key still ends it, so it was still watching.
TEST_F(SaverX11Test, InputThatEndsTheSaver) {
  StartServer();
  const struct {
    const char* name;
    const char* xdotool;  // empty: a WM_DELETE_WINDOW from the test's client
    bool ends;
  } rows[] = {
      {"pointer 50 on both axes", "mousemove_relative -- 50 -50", false},
      {"pointer 51 on x", "mousemove_relative -- 51 0", true},
      {"pointer 51 on y", "mousemove_relative -- 0 -51", true},
      {"pointer drifting past 50 in steps", "mousemove_relative 30 0 mousemove_relative 21 0", true},
      {"key", "key a", true},
      {"Alt+key", "key alt+a", false},
      {"F10", "key F10", false},
      {"left button", "click 1", true},
      {"right button", "click 3", true},
      {"wheel", "click 4", false},
      {"close request from another client", "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Window window = 0;
    auto saver = StartSaver(&window);
    ASSERT_NE(window, 0u) << saver->Stderr();
    if (*row.xdotool) {
      ASSERT_TRUE(XdoTool(server.Display(), row.xdotool));
    } else {
      client->SendDeleteWindow(window);
    }
    if (row.ends) {
      EXPECT_EQ(saver->WaitForExit(1.5), 0) << saver->Stderr();
    } else {
      EXPECT_EQ(saver->WaitForExit(0.7), -1) << "ended, but should not have";
      XdoTool(server.Display(), "key space");
      EXPECT_EQ(saver->WaitForExit(1.5), 0) << "no longer watching the keys";
    }
    EXPECT_FALSE(client->Exists(window));
  }
}

TEST_F(SaverX11Test, PreviewDrawsInItsParentIgnoresInputAndEndsWithIt) {
  StartServer();
  const Window parent = client->MakeWindow(320, 240);
  SaverProcess saver(server.Display(), {Runner(), "/p", std::to_string(parent)});
  const Window window = client->WaitForWindowOfClass("OpenGL", 10, parent);
  ASSERT_NE(window, 0u) << saver.Stderr();
  const XWindowAttributes a = client->Attributes(window);
  EXPECT_EQ(a.width, 320);
  EXPECT_EQ(a.height, 240);
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_TRUE(WaitUntil([&] { return client->MeanBrightness(parent) < 200; }))
      << "the white parent does not show the saver's window";
  XdoTool(server.Display(), "mousemove 10 10 mousemove 300 200 key a click 1");
  EXPECT_EQ(saver.WaitForExit(0.7), -1) << "ended on input";
  EXPECT_FALSE(client->CursorHidden());
  client->Destroy(parent);
  EXPECT_EQ(saver.WaitForExit(1.5), 0) << saver.Stderr();
}

TEST_F(SaverX11Test, PreviewOfNoWindowEndsSilently) {
  StartServer();
  for (const char* parent : {"0", "12345678"}) {
    SaverProcess saver(server.Display(), {Runner(), "/p", parent});
    EXPECT_EQ(saver.WaitForExit(5), 0) << parent;
    EXPECT_EQ(saver.Stderr(), "") << parent;
  }
  EXPECT_EQ(client->WaitForWindowOfClass("OpenGL", 0), 0u);
}

// Without GLX: the pixel-format message on standard error and in a box
// titled "Error", and status 1 once the box is closed.
TEST_F(SaverX11Test, NoGlxShowsThePixelFormatMessage) {
  StartServer({"-extension", "GLX"});
  SaverProcess saver(server.Display(), {Runner(), "/s"});
  Window box = 0;
  for (int i = 0; i < 200 && !box; ++i) {
    std::string found;
    testing_support::RunWithDisplay(server.Display(), "xdotool search --name '^Error$' 2>/dev/null", &found);
    if (!found.empty()) box = std::stoul(found);
    if (!box) Pause(50);
  }
  ASSERT_NE(box, 0u) << "no box titled Error; stderr: " << saver.Stderr();
  EXPECT_EQ(saver.WaitForExit(0.3), -1) << "the box is modal";
  client->SendDeleteWindow(box);
  EXPECT_EQ(saver.WaitForExit(5), 1);
  EXPECT_NE(saver.Stderr().find("ChoosePixelFormat() failed:  Cannot find a suitable pixel format.\n"),
            std::string::npos)
      << saver.Stderr();
}

TEST_F(SaverX11Test, LosingTheServerEndsTheRunWithStatus1) {
  StartServer();
  const struct {
    const char* name;
    std::vector<std::string> args;
  } rows[] = {{"/s", {Runner(), "/s"}}, {"-window", {Program(), "-window"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (!client) StartServer();
    SaverProcess saver(server.Display(), row.args);
    ASSERT_NE(client->WaitForWindowOfClass(row.name[0] == '/' ? "OpenGL" : "HarborLights", 10), 0u);
    Pause(200);
    client.reset();
    server.Kill();
    EXPECT_EQ(saver.WaitForExit(1.5), 1);
  }
}

// Through start-up: the program's own command line runs the saver window.
TEST_F(SaverX11Test, ProgramRunsTheSaverAndThePreview) {
  StartServer();
  char empty[] = "/tmp/hl-window-test-config-XXXXXX";
  ASSERT_NE(mkdtemp(empty), nullptr);
  const std::vector<std::string> environment = {std::string("XDG_CONFIG_HOME=") + empty};
  {
    SaverProcess saver(server.Display(), {Program(), "/S", "--no-mirrors"}, environment);
    const Window window = client->WaitForWindowOfClass("OpenGL", 10);
    ASSERT_NE(window, 0u) << saver.Stderr();
    EXPECT_TRUE(client->Attributes(window).override_redirect);
    WaitUntil([&] { return client->KeyboardGrabbedElsewhere(); });
    XdoTool(server.Display(), "key a");
    EXPECT_EQ(saver.WaitForExit(1.5), 0) << saver.Stderr();
  }
  {
    const Window parent = client->MakeWindow(200, 150);
    SaverProcess saver(server.Display(), {Program(), "/l:" + std::to_string(parent)}, environment);
    ASSERT_NE(client->WaitForWindowOfClass("OpenGL", 10, parent), 0u) << saver.Stderr();
    client->Destroy(parent);
    EXPECT_EQ(saver.WaitForExit(1.5), 0) << saver.Stderr();
  }
  // Switches that run nothing end at once, without a window.
  for (const char* rest : {"/p", "/x", "-"}) {
    SaverProcess saver(server.Display(), {Program(), rest}, environment);
    EXPECT_EQ(saver.WaitForExit(5), 0) << rest;
    EXPECT_EQ(saver.Stderr(), "") << rest;
  }
  EXPECT_EQ(client->WaitForWindowOfClass("OpenGL", 0), 0u);
  rmdir(empty);
}

TEST(SaverNoDisplay, OneLineAndStatus1) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{Runner(), "/s"}, std::vector<std::string>{Program(), "-window"}}) {
    SaverProcess saver(":4095", args);
    EXPECT_EQ(saver.WaitForExit(5), 1) << args[1];
    const std::string text = saver.Stderr();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  }
}

// -root draws on $XSCREENSAVER_WINDOW, -window-id on the window named; a
// signal or the window's destruction ends the run, and a window not ours is
// left in place.
TEST_F(SaverX11Test, DaemonWindowsAreDrawnOnAndLetGo) {
  StartServer();
  const struct {
    const char* name;
    bool root;
    bool hex;
    bool destroy;  // else SIGTERM
    int signal;
  } rows[] = {
      {"-root, decimal, SIGTERM", true, false, false, SIGTERM},
      {"-root, hex, SIGINT", true, true, false, SIGINT},
      {"-window-id, window destroyed", false, true, true, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Window target = client->MakeWindow(300, 200);
    ASSERT_GT(client->MeanBrightness(target), 250);
    char id[32];
    std::snprintf(id, sizeof id, row.hex ? "0x%lx" : "%lu", target);
    std::vector<std::string> args = {Program()};
    std::vector<std::string> environment;
    if (row.root) {
      args.push_back("-root");
      environment.push_back(std::string("XSCREENSAVER_WINDOW=") + id);
    } else {
      args.insert(args.end(), {"--window-id", id});
    }
    SaverProcess saver(server.Display(), args, environment);
    bool drawn = false;
    for (int i = 0; i < 100 && !drawn; ++i, Pause(50)) drawn = client->MeanBrightness(target) < 200;
    EXPECT_TRUE(drawn) << "the window still shows white; " << saver.Stderr();
    if (row.destroy) {
      client->Destroy(target);
    } else {
      kill(saver.Pid(), row.signal);
    }
    EXPECT_EQ(saver.WaitForExit(1.5), 0) << saver.Stderr();
    if (!row.destroy) {
      EXPECT_TRUE(client->Exists(target)) << "the daemon's window was destroyed";
    }
  }
}

TEST_F(SaverX11Test, OwnWindowEndsOnQEscapeOrTheCloseBox) {
  StartServer();
  const struct {
    const char* name;
    const char* xdotool;  // empty: the close box
  } rows[] = {{"q", "key q"}, {"Escape", "key Escape"}, {"close box", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SaverProcess saver(server.Display(), {Program(), "-window", "--no-mirrors"});
    const Window window = client->WaitForWindowOfClass("HarborLights", 10);
    ASSERT_NE(window, 0u) << saver.Stderr();
    const XWindowAttributes a = client->Attributes(window);
    EXPECT_EQ(a.width, 1280);
    EXPECT_EQ(a.height, 720);
    EXPECT_FALSE(a.override_redirect);
    // Pointer and other keys are not watched.
    XdoTool(server.Display(), "mousemove 5 5 mousemove 300 300 click 1 key a");
    EXPECT_EQ(saver.WaitForExit(0.5), -1);
    if (*row.xdotool) {
      ASSERT_TRUE(XdoTool(server.Display(), "windowfocus --sync " + std::to_string(window) + " " + row.xdotool));
    } else {
      client->SendDeleteWindow(window);
    }
    EXPECT_EQ(saver.WaitForExit(1.5), 0) << saver.Stderr();
  }
}

}  // namespace
