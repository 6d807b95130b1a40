#pragma once
// The run modes of the screen-saver command line, and the program-wide values
// start-up sets for the other parts of the shell.
#include "platform/window_types.h"

namespace hl {

struct SaverSettings;

enum RunMode : int {
  RunNone = 0,            // unrecognised switch: nothing runs
  RunConfig = 1,          // the configuration dialog
  RunChangePassword = 2,  // the system's password change
  RunPreview = 3,         // inside the display settings' preview box
  RunSaver = 4,           // full screen, as the active screen saver
};

extern RunMode runMode;
extern SaverSettings* settings;

// --no-mirrors on the command line: the saver window draws without mirrors
// whatever the "Use Mirrors" setting says. Set by main before the run.
extern bool mirrorsDisabledByOption;

// -fps or --fps-overlay: every frame loop draws the frame-rate overlay. Set by
// main before the run.
extern bool fpsOverlayByOption;

// The sleep after each frame of every frame loop, 10 ms as designed; -delay
// sets it. Set by main before the run.
extern unsigned frameDelayMilliseconds;

}  // namespace hl
