#pragma once
// The system's screen-saver services: the password check when a full-screen
// saver closes, the password change, and the flag that tells the system a
// full-screen saver runs. Where a system has none of them, a check passes and
// the rest does nothing.
#include "platform/window_types.h"

namespace platform {

// True when the saver may close: the system asks for no password here, its
// password service is missing, or the user gave the right one. Blocks while
// the system's prompt is up.
bool VerifyScreenSaverPassword(WindowHandle window);

// Lets the system change the screen-saver password, owned by `parent`.
void ChangeScreenSaverPassword(WindowHandle parent);

// Tells the system whether a full-screen saver runs.
void SetScreenSaverRunning(bool running);

}  // namespace platform
