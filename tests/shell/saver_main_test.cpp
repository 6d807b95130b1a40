// The program's start-up for the modes that need no window: what it says, its
// exit status, and that it leaves the settings alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/shell/settings_test_support.h"

namespace hl {
namespace {

struct ProgramRun {
  int status = -1;
  std::string errors;  // standard error; standard output is dropped
};

// Runs the program with no display at all.
ProgramRun RunProgram(const testing_support::TempConfigHome& home, const std::string& switches) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + home.Root() + "' XDG_CONFIG_HOME='" +
                              home.Root() + "' '" + HL_PROGRAM + "' " + switches + " 2>&1 >/dev/null";
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

}  // namespace
}  // namespace hl
