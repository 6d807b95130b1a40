#pragma once
// Start-up: the screen-saver command line decides the run mode; the settings
// are loaded; one mode runs.
#include <string>
#include <vector>

#include "platform/window_types.h"

namespace hl {

// The process's arguments joined into one command line the way the system
// hands a screen saver its command line: the program token first (quoted when
// it holds a space, as the system quotes a program path), then each argument
// after one space.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Runs the mode `commandLine` asks for and returns the process's exit status:
// 0 for a run that did what was asked (an unrecognised switch included), 1 when
// the saver window or the dialog could not start (its message has been given).
// Creates `settings`, loads it in every mode and deletes it afterwards.
int SaverMain(const std::string& commandLine, int showCommand);

// Hands the change of the screen-saver password to the system, where it has a
// service for it (none on Linux: the session locker keeps its own password).
void ChangeSaverPassword(platform::WindowHandle parent);

}  // namespace hl
