#pragma once
// The window the saver draws in, its GL context, the message loop and the close
// policy.
#include "platform/window_types.h"

namespace hl {

// Returns when the window is gone or set-up failed; false when the run could
// not start (its message has been shown).
bool RunSaverWindow(platform::WindowHandle parent, int showCommand);

}  // namespace hl
