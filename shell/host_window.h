#pragma once
// The Linux screen-saver conventions: drawing on a window the daemon gives us
// (-root, -window-id) or on an ordinary window of our own (-window). No input
// is watched; the drawing follows the window's size.
#include "shell/long_options.h"

namespace hl {

// Returns the exit status: 0 after a clean end, 1 when the run could not start.
int RunHostWindow(const LongOptions& options);

}  // namespace hl
