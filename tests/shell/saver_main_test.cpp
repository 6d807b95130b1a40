// The program's start-up for the modes that need no window: what it says, its
// exit status, and that it leaves the settings alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "shell/saver_main.h"
#include "shell/saver_settings.h"
#include "tests/shell/settings_test_support.h"

namespace hl {
namespace {

struct ProgramRun {
  int status = -1;
  std::string errors;  // standard error, or standard output when asked for
};

// Runs the program with no display at all.
ProgramRun RunProgram(const testing_support::TempConfigHome& home, const std::string& switches,
                      bool readOutput = false) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u XSCREENSAVER_WINDOW HOME='" + home.Root() +
                              "' XDG_CONFIG_HOME='" + home.Root() + "' '" + HL_PROGRAM + "' " + switches +
                              (readOutput ? " 2>/dev/null" : " 2>&1 >/dev/null");
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.errors.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(SaverMain, ModesWithoutAWindowEndQuietlyAndWriteNothing) {
  struct Case {
    const char* switches;
    int status;
    bool oneLine;  // a line on standard error, else silence
  };
  const Case cases[] = {
      {"/a 42", 0, false},  // no password service here: nothing happens
      {"-A:42", 0, false},
      {"/x", 0, false},     // unrecognised: nothing runs
      {"/?", 0, false},
      {"-H", 0, false},
      {"/", 0, false},
      {"-", 0, false},
      {"/c", 1, true},      // the dialog needs a display
      {"/c 0", 1, true},
      {"", 1, true},        // nothing after the program: the dialog
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches);
    testing_support::TempConfigHome home;
    const ProgramRun run = RunProgram(home, c.switches);
    EXPECT_EQ(run.status, c.status);
    if (c.oneLine) {
      ASSERT_FALSE(run.errors.empty());
      EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
    } else {
      EXPECT_EQ(run.errors, "");
    }
    EXPECT_NE(access(home.Folder().c_str(), F_OK), 0) << "nothing may be created";
  }
}

TEST(SaverMain, HelpFormsPrintTheUsageOnStandardOutput) {
  for (const char* switches : {"-h", "-help", "--help", "-root --help"}) {
    SCOPED_TRACE(switches);
    testing_support::TempConfigHome home;
    const ProgramRun run = RunProgram(home, switches, /*readOutput=*/true);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors.rfind("Usage: harbor-lights", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find("The command line wins"), std::string::npos) << "the settings rule is said";
  }
}

// Refused before anything opens a display or a folder: one line naming what
// was typed, status 2.
TEST(SaverMain, BadOptionsAreOneLineAndStatusTwo) {
  const struct {
    const char* switches;
    const char* echoed;
  } cases[] = {
      {"-window -geometryx 640x360", "-geometryx"},
      {"-root -foo", "-foo"},
      {"-fps -x", "-x"},
      {"-window-id 0x99999 /s", "/s"},
      {"-root -geometry 640x360", "-geometry"},
      {"-window -geometry 640x", "640x"},
      {"-window -delay fast", "fast"},
      {"--render frames --fps 5000", "5000"},
      {"--render frames --seconds 100000 --fps 1000", "1000000"},
      {"--render frames --size 20000x20", "20000x20"},
      {"--overwrite", "--overwrite"},
      {"--render frames --pictures ''", "--pictures"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switches);
    testing_support::TempConfigHome home;
    const ProgramRun run = RunProgram(home, c.switches);
    EXPECT_EQ(run.status, 2);
    ASSERT_FALSE(run.errors.empty());
    EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
    EXPECT_NE(run.errors.find(c.echoed), std::string::npos) << run.errors;
    EXPECT_NE(access(home.Folder().c_str(), F_OK), 0) << "nothing may be created";
    EXPECT_NE(access("frames", F_OK), 0) << "no render folder made";
  }
}

TEST(SettingOverrides, TheCommandLineWinsInBothDirectionsElseTheFile) {
  const struct {
    uint32_t fileMirrors;
    Choice option;
    uint32_t mirrors;
    const char* fileFolder;
    const char* optionFolder;
    const char* folder;
  } cases[] = {
      {1, Choice::Unset, 1, "", "", ""},
      {0, Choice::Unset, 0, "/file", "", "/file"},
      {0, Choice::On, 1, "/file", "/option", "/option"},
      {1, Choice::Off, 0, "", "/option", "/option"},
      {0, Choice::Off, 0, "/file", "", "/file"},
      {1, Choice::On, 1, "", "", ""},
  };
  for (const auto& c : cases) {
    SaverSettings settings;
    settings.useMirrors = c.fileMirrors;
    settings.pictureFolder = c.fileFolder;
    SettingOverrides overrides;
    overrides.mirrors = c.option;
    overrides.pictureFolder = c.optionFolder;
    ApplySettingOverrides(overrides, settings);
    EXPECT_EQ(settings.useMirrors, c.mirrors) << c.fileMirrors << " " << static_cast<int>(c.option);
    EXPECT_EQ(settings.pictureFolder, c.folder) << c.fileFolder << " " << c.optionFolder;
  }
}

}  // namespace
}  // namespace hl
