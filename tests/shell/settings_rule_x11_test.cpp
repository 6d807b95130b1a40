// The settings rule in every drawing mode, through the program on a private X
// server: the command line wins in both directions, and where it is silent the
// settings file decides. A frame drawn with mirrors is its own mirror image
// across the vertical through the centre; the scene drawn once is not.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace hl {
namespace {

using testing_support::SaverProcess;
using testing_support::TestClient;

TEST(SettingsRule, TheCommandLineWinsInEveryDrawingModeElseTheFile) {
  HL_REQUIRE_CAPABILITY(testing_support::XvfbServer::Available(), "Xvfb");
  testing_support::XvfbServer server;
  ASSERT_TRUE(server.Start("1280x1024x24"));
  TestClient client(server.Display());
  ASSERT_TRUE(client.Connected());

  enum Target { kTheirs, kChildOfTheirs, kOwnByClass };
  const struct {
    const char* name;
    Target target;
    const char* windowClass;
    std::vector<std::string> args;  // "ID" stands for the test's window
    bool daemonVariable;
    int fileMirrors;  // "UseMirrors" in the settings file
    bool mirrored;
  } rows[] = {
      {"-window-id --mirrors over 0", kTheirs, "", {"-window-id", "ID", "--mirrors"}, false, 0, true},
      {"-window-id --no-mirrors over 1", kTheirs, "", {"-window-id", "ID", "--no-mirrors"}, false, 1, false},
      {"-root silent, file 0", kTheirs, "", {"-root"}, true, 0, false},
      {"-root silent, file 1", kTheirs, "", {"-root"}, true, 1, true},
      {"-window --mirrors over 0", kOwnByClass, "HarborLights", {"-window", "--mirrors"}, false, 0, true},
      {"/p --mirrors over 0", kChildOfTheirs, "OpenGL", {"--mirrors", "/p", "ID"}, false, 0, true},
      {"/p --no-mirrors over 1", kChildOfTheirs, "OpenGL", {"--no-mirrors", "/p", "ID"}, false, 1, false},
      {"/s silent, file 0", kOwnByClass, "OpenGL", {"/s"}, false, 0, false},
      {"/s --mirrors over 0", kOwnByClass, "OpenGL", {"/s", "--mirrors"}, false, 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    char config[] = "/tmp/hl-settings-rule-XXXXXX";
    ASSERT_NE(mkdtemp(config), nullptr);
    mkdir((std::string(config) + "/harbor-lights").c_str(), 0755);
    std::ofstream(std::string(config) + "/harbor-lights/registry.reg")
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:0000000"
        << row.fileMirrors << "\n";

    const Window theirs = row.target == kOwnByClass ? 0 : client.MakeWindow(320, 240);
    std::vector<std::string> args = {HL_PROGRAM};
    for (const std::string& a : row.args) args.push_back(a == "ID" ? std::to_string(theirs) : a);
    std::vector<std::string> environment = {std::string("XDG_CONFIG_HOME=") + config};
    if (row.daemonVariable) environment.push_back("XSCREENSAVER_WINDOW=" + std::to_string(theirs));
    SaverProcess saver(server.Display(), args, environment);
    Window drawn = theirs;
    if (row.target != kTheirs) drawn = client.WaitForWindowOfClass(row.windowClass, 20, theirs);
    ASSERT_NE(drawn, 0u) << saver.Stderr();

    // Wait for a drawn frame: black corners outside the kaleidoscope (the
    // window's own background is white) around a lit centre.
    platform::RgbaImage image;
    bool drawnFrame = false;
    for (int i = 0; i < 200 && !drawnFrame; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      image = client.Capture(drawn);
      if (image.width == 0) continue;
      const uint8_t* corner = image.At(0, 0);
      const uint8_t* opposite = image.At(image.width - 1, image.height - 1);
      drawnFrame = corner[0] + corner[1] + corner[2] < 30 && opposite[0] + opposite[1] + opposite[2] < 30 &&
                   testing_support::MeanBrightness(image, testing_support::ImageCentre(image), image.height * 0.45) > 5;
    }
    ASSERT_TRUE(drawnFrame) << testing_support::KeepFrame(image, "settings-rule") << saver.Stderr();
    const double error = testing_support::ReflectionError(image, testing_support::ImageCentre(image),
                                                          image.height * 0.45, 270.0);
    if (row.mirrored) {
      EXPECT_LT(error, 10.0) << testing_support::KeepFrame(image, "settings-rule");
    } else {
      EXPECT_GT(error, 20.0) << testing_support::KeepFrame(image, "settings-rule");
    }
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10), 0) << saver.Stderr();
    if (theirs) client.Destroy(theirs);
    std::system((std::string("rm -rf '") + config + "'").c_str());
  }
}

}  // namespace
}  // namespace hl
