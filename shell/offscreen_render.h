#pragma once
// --render: frames of the kaleidoscope on the headless context, with a virtual
// clock, written as PNG files.
#include "shell/long_options.h"

namespace hl {

// Returns the exit status: 0 done, 1 when the frames cannot be made or written.
int RunOffscreenRender(const RenderOptions& options, bool mirrors);

}  // namespace hl
