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

// The longest and largest render we take as meant: beyond these a typo is
// likelier than a wish, and the run would fill a disk or take days.
constexpr double kMaxRenderFps = 1000;
constexpr long kMaxRenderFrames = 1'000'000;
constexpr int kMaxFrameSide = 16384;

struct RenderOptions {
  // A folder for PNG frames, or "-" for a YUV4MPEG2 stream on standard output.
  std::string directory;
  double seconds = 10;
  double fps = 30;
  int width = 1280;
  int height = 720;
  bool seedGiven = false;
  uint32_t seed = 0;
  // Frames of an earlier render in the folder are removed first, rather than
  // refusing the folder.
  bool overwrite = false;

  bool ToStream() const { return directory == "-"; }
  // The number of frames: seconds × fps, rounded, at least one.
  long FrameCount() const;
};

// -geometry WxH[+X+Y] for our own window.
struct WindowGeometry {
  bool given = false;
  int width = 1280;
  int height = 720;
  bool placed = false;  // +X+Y given
  int x = 0;
  int y = 0;
};

// A setting the command line may give in either direction; otherwise the
// settings file decides.
enum class Choice { Unset, On, Off };

struct LongOptions {
  bool help = false;
  bool version = false;
  bool render = false;
  RenderOptions renderOptions;
  HostMode host = HostMode::None;
  platform::WindowHandle windowId = platform::kNoWindow;
  std::string windowIdText;  // as typed, for messages
  WindowGeometry geometry;
  Choice mirrors = Choice::Unset;  // --mirrors / --no-mirrors
  // For the daemon's windows: drawn without mirrors, once the command line and
  // the settings file have been weighed (main decides; the parser leaves it).
  bool noMirrors = false;
  bool fpsOverlay = false;
  // -delay MICROSECONDS between frames; negative: the designed 10 ms.
  long delayMicroseconds = -1;
  std::string picturesDirectory;
  // The process's arguments that are not ours, program token first.
  std::vector<std::string> rest;
};

// Parses argv. On a bad option returns false with a one-line `error`.
// -h, -help and --help ask for the usage. The daemon's conventions (-root,
// -window, -window-id, -fps, -delay, -geometry) take one or two dashes; without
// -root or -window-id they draw in a window of their own, and a single-dash
// option we do not know beside them is an error rather than a Windows switch.
bool ParseLongOptions(int argc, const char* const* argv, LongOptions* options, std::string* error);

// An X window number: hex with 0x, otherwise decimal (a leading zero is not
// octal); at most 32 bits.
bool ParseWindowNumber(const std::string& text, uint64_t* value);

// `text` with control characters shown as '?': what the user typed, echoed in
// a message, must not break its one line (a newline in a quoted argument) or
// drive the terminal.
std::string Printable(std::string text);

// The usage text of --help.
const char* UsageText();

}  // namespace hl
