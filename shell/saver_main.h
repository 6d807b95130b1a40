#pragma once
// Start-up: the screen-saver command line decides the run mode; the settings
// are loaded; one mode runs.
#include <string>
#include <vector>

#include "platform/window_types.h"
#include "shell/long_options.h"

namespace hl {

struct SaverSettings;

// What the command line says about the settings the user keeps.
struct SettingOverrides {
  Choice mirrors = Choice::Unset;  // --mirrors / --no-mirrors
  std::string pictureFolder;       // --pictures DIR; empty: not given
};

// The one rule of every drawing mode: the command line wins, in both
// directions; what it leaves unsaid keeps the value loaded from the settings
// file (or the default, when the file has none).
void ApplySettingOverrides(const SettingOverrides& overrides, SaverSettings& settings);

// The process's arguments joined into one command line the way the system
// hands a screen saver its command line: the program token first (quoted when
// it holds a space, as the system quotes a program path), then each argument
// after one space.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Runs the mode `commandLine` asks for and returns the process's exit status:
// 0 for a run that did what was asked (an unrecognised switch included), 1 when
// the saver window or the dialog could not start (its message has been given).
// Creates `settings`, loads it in every mode and deletes it afterwards. The
// drawing modes then apply `overrides`; the dialog shows and saves the file's
// own values.
int SaverMain(const std::string& commandLine, int showCommand, const SettingOverrides& overrides = {});

// Hands the change of the screen-saver password to the system, where it has a
// service for it (none on Linux: the session locker keeps its own password).
void ChangeSaverPassword(platform::WindowHandle parent);

}  // namespace hl
