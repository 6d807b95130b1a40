#pragma once
// The screen-saver command line, parsed the way the system's display settings
// expect: /s, /p N, /l:N, /c [N], /a N, with '/' or '-' or nothing before the
// letter, in any case. A pure function, so the whole grammar can be tabled.
#include <string>

#include "platform/window_types.h"
#include "shell/run_mode.h"

namespace hl {

struct SaverCommandLine {
  RunMode mode = RunNone;
  platform::WindowHandle parent = platform::kNoWindow;
  // /c with nothing after it: the dialog belongs to the foreground window,
  // which the caller asks the window system for.
  bool foregroundParent = false;
};

// `line` is the whole command line, program token first.
SaverCommandLine ParseSaverCommandLine(const std::string& line);

}  // namespace hl
