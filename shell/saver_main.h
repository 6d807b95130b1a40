#pragma once
// Start-up: the screen-saver command line decides the run mode; the settings
// are loaded; one mode runs.
#include <string>
#include <vector>

namespace hl {

// The process's arguments joined into one command line the way the system
// hands a screen saver its command line: the program token first, then each
// argument after one space.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Runs the mode `commandLine` asks for and returns the process's exit status:
// 0 for a run that did what was asked (an unrecognised switch included), 1 when
// the saver could not start.
int SaverMain(const std::string& commandLine, int showCommand);

}  // namespace hl
