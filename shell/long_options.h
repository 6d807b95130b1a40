#pragma once
// The options of this port, read before the screen-saver command line: our own
// long options (--render …, --help, --version) and the Linux screen-saver
// conventions (-root, -window, -window-id ID, -fps). What is left over is the
// Windows-style command line, parsed as designed.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_types.h"

namespace hl {

enum class HostMode {
  None,      // no Linux convention given: the Windows command line decides
  Root,      // -root: $XSCREENSAVER_WINDOW, else the root window
  WindowId,  // -window-id ID
  Window,    // -window: an ordinary window of our own
};

struct RenderOptions {
  std::string directory;
  double seconds = 10;
  double fps = 30;
  int width = 1280;
  int height = 720;
  bool seedGiven = false;
  uint32_t seed = 0;
};

struct LongOptions {
  bool help = false;
  bool version = false;
  bool render = false;
  RenderOptions renderOptions;
  HostMode host = HostMode::None;
  platform::WindowHandle windowId = platform::kNoWindow;
  bool noMirrors = false;
  bool fpsOverlay = false;
  std::string picturesDirectory;
  // The process's arguments that are not ours, program token first.
  std::vector<std::string> rest;
};

// Parses argv. On a bad option returns false with a one-line `error`.
bool ParseLongOptions(int argc, const char* const* argv, LongOptions* options, std::string* error);

// An X window number: hex with 0x, otherwise decimal (a leading zero is not
// octal); at most 32 bits.
bool ParseWindowNumber(const std::string& text, uint64_t* value);

// The usage text of --help.
const char* UsageText();

}  // namespace hl
