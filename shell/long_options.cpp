#include "shell/long_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "shell/command_line.h"

namespace hl {
namespace {

constexpr uint64_t kMaxDelayMicroseconds = 10'000'000;
constexpr uint64_t kMaxWindowOffset = 32767;  // X coordinates are 16-bit signed

// "-name" or "--name" → "name"; anything else → "".
std::string ConventionName(const std::string& arg) {
  if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') return arg.substr(2);
  if (arg.size() > 1 && arg[0] == '-') return arg.substr(1);
  return "";
}

bool ParsePositiveNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v <= 0) return false;
  *value = v;
  return true;
}

// Decimal digits only: a leading zero is no octal prefix here.
bool ParseDecimal(const std::string& text, uint64_t max, uint64_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || v > max) return false;
  *value = v;
  return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  uint64_t w = 0, h = 0;
  if (!ParseDecimal(text.substr(0, x), kMaxFrameSide, &w) || !ParseDecimal(text.substr(x + 1), kMaxFrameSide, &h) ||
      w == 0 || h == 0) {
    return false;
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// WxH[+X+Y], as X11 programs take -geometry; offsets from the right or bottom
// edge (-X-Y) are not taken.
bool ParseGeometry(const std::string& text, WindowGeometry* geometry) {
  const size_t plus = text.find('+');
  WindowGeometry g;
  if (!ParseSize(text.substr(0, plus), &g.width, &g.height)) return false;
  if (plus != std::string::npos) {
    const size_t second = text.find('+', plus + 1);
    if (second == std::string::npos) return false;
    uint64_t x = 0, y = 0;
    if (!ParseDecimal(text.substr(plus + 1, second - plus - 1), kMaxWindowOffset, &x) ||
        !ParseDecimal(text.substr(second + 1), kMaxWindowOffset, &y)) {
      return false;
    }
    g.placed = true;
    g.x = static_cast<int>(x);
    g.y = static_cast<int>(y);
  }
  g.given = true;
  *geometry = g;
  return true;
}

}  // namespace

bool ParseWindowNumber(const std::string& text, uint64_t* value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!hex) return ParseDecimal(text, UINT32_MAX, value);
  const std::string digits = text.substr(2);
  if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  errno = 0;
  const unsigned long long v = std::strtoull(digits.c_str(), nullptr, 16);
  if (errno != 0 || v > UINT32_MAX) return false;
  *value = v;
  return true;
}

long RenderOptions::FrameCount() const {
  const double frames = seconds * fps;
  if (!(frames < static_cast<double>(kMaxRenderFrames) * 2)) return kMaxRenderFrames * 2;  // refused by the parser
  return std::max(1L, std::lround(frames));
}

namespace {

bool ParseArguments(int argc, const char* const* argv, LongOptions* options, std::string* error) {
  *options = LongOptions{};
  options->rest.push_back(argc > 0 && argv[0] ? argv[0] : "harbor-lights");
  bool renderValueGiven = false;
  std::string renderValueName;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    const bool doubleDash = arg.rfind("--", 0) == 0;
    const std::string name = ConventionName(arg);
    auto value = [&](std::string* out) {
      if (i + 1 >= argc || !argv[i + 1]) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-h" || name == "help") {
      options->help = true;
    } else if (doubleDash && name == "version") {
      options->version = true;
    } else if (doubleDash && name == "render") {
      if (!value(&v)) return false;
      if (v.empty()) {
        *error = "--render needs a folder, or - for a video stream";
        return false;
      }
      options->render = true;
      options->renderOptions.directory = v;
    } else if (doubleDash && (name == "seconds" || name == "fps")) {
      if (!value(&v)) return false;
      double number = 0;
      if (!ParsePositiveNumber(v, &number)) {
        *error = arg + " takes a positive number, not '" + v + "'";
        return false;
      }
      if (name == "fps" && number > kMaxRenderFps) {
        *error = arg + " takes at most 1000 frames a second, not '" + v + "'";
        return false;
      }
      (name == "seconds" ? options->renderOptions.seconds : options->renderOptions.fps) = number;
      renderValueGiven = true;
      renderValueName = arg;
    } else if (doubleDash && name == "size") {
      if (!value(&v)) return false;
      if (!ParseSize(v, &options->renderOptions.width, &options->renderOptions.height)) {
        *error = arg + " takes WIDTHxHEIGHT (1 to 16384 each), not '" + v + "'";
        return false;
      }
      renderValueGiven = true;
      renderValueName = arg;
    } else if (doubleDash && name == "seed") {
      if (!value(&v)) return false;
      uint64_t seed = 0;
      if (!ParseDecimal(v, UINT32_MAX, &seed)) {
        *error = arg + " takes a whole number from 0 to 4294967295, not '" + v + "'";
        return false;
      }
      options->renderOptions.seedGiven = true;
      options->renderOptions.seed = static_cast<uint32_t>(seed);
      renderValueGiven = true;
      renderValueName = arg;
    } else if (doubleDash && name == "overwrite") {
      options->renderOptions.overwrite = true;
      renderValueGiven = true;
      renderValueName = arg;
    } else if (name == "no-mirrors") {
      options->mirrors = Choice::Off;
    } else if (name == "mirrors") {
      options->mirrors = Choice::On;
    } else if (name == "root") {
      options->host = HostMode::Root;
    } else if (name == "window") {
      options->host = HostMode::Window;
    } else if (name == "window-id") {
      if (!value(&v)) return false;
      uint64_t id = 0;
      if (!ParseWindowNumber(v, &id) || id == 0) {
        *error = arg + " takes an X window id (hex 0x… or decimal), not '" + v + "'";
        return false;
      }
      options->host = HostMode::WindowId;
      options->windowId = id;
      options->windowIdText = v;
    } else if (name == "geometry") {
      if (!value(&v)) return false;
      if (!ParseGeometry(v, &options->geometry)) {
        *error = arg + " takes WIDTHxHEIGHT[+X+Y] (sizes 1 to 16384), not '" + v + "'";
        return false;
      }
    } else if (name == "delay") {
      if (!value(&v)) return false;
      uint64_t delay = 0;
      if (!ParseDecimal(v, kMaxDelayMicroseconds, &delay)) {
        *error = arg + " takes microseconds from 0 to 10000000, not '" + v + "'";
        return false;
      }
      options->delayMicroseconds = static_cast<long>(delay);
    } else if ((!doubleDash && name == "fps") || (doubleDash && name == "fps-overlay")) {
      options->fpsOverlay = true;
    } else if (doubleDash && name == "pictures") {
      if (!value(&v)) return false;
      if (v.empty()) {
        *error = arg + " needs a folder";
        return false;
      }
      options->picturesDirectory = v;
    } else if (doubleDash) {
      *error = "unknown option " + arg + " (see --help)";
      return false;
    } else {
      options->rest.push_back(arg);  // a screen-saver switch such as /s or -c:5678
    }
  }
  if (options->help || options->version) return true;

  const bool hostGiven = options->host != HostMode::None;
  const bool conventionGiven =
      hostGiven || options->fpsOverlay || options->geometry.given || options->delayMicroseconds >= 0;
  if (options->render) {
    if (hostGiven || options->geometry.given || options->delayMicroseconds >= 0) {
      *error = "--render draws no window: -root, -window, -window-id, -geometry and -delay do not go with it";
      return false;
    }
    if (options->rest.size() > 1) {
      *error = "unknown option " + options->rest[1] + " (see --help)";
      return false;
    }
    const RenderOptions& r = options->renderOptions;
    if (!(r.seconds * r.fps <= static_cast<double>(kMaxRenderFrames) + 0.5)) {
      *error = "--render makes at most 1000000 frames (--seconds × --fps)";
      return false;
    }
    return true;
  }
  if (renderValueGiven) {
    *error = renderValueName + " goes with --render DIR";
    return false;
  }
  if (!conventionGiven) return true;
  if (options->rest.size() > 1) {
    // Beside -root, -window or -window-id nothing else is read; beside -fps
    // alone a Windows switch (/s, -p 42) still chooses the mode, but a
    // single-dash word it does not know is a mistyped option.
    const std::string& first = options->rest[1];
    const bool windowsSwitch = ParseSaverCommandLine("harbor-lights " + first).mode != RunNone;
    if (hostGiven || (first.size() > 1 && first[0] == '-' && !windowsSwitch)) {
      *error = "unknown option " + first + " (see --help)";
      return false;
    }
  } else if (!hostGiven) {
    options->host = HostMode::Window;
  }
  if (options->geometry.given && options->host != HostMode::Window) {
    *error = "-geometry goes with -window";
    return false;
  }
  return true;
}

}  // namespace

bool ParseLongOptions(int argc, const char* const* argv, LongOptions* options, std::string* error) {
  if (ParseArguments(argc, argv, options, error)) return true;
  // The message echoes what was typed.
  *error = Printable(*error);
  return false;
}

std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return text;
}

const char* UsageText() {
  return "Usage: harbor-lights [SWITCH]\n"
         "       harbor-lights -root | -window [-geometry WxH[+X+Y]] | -window-id ID\n"
         "                     [--mirrors | --no-mirrors] [--pictures DIR] [-fps] [-delay US]\n"
         "       harbor-lights --render DIR|- [--seconds N] [--fps F] [--size WxH] [--seed S]\n"
         "                     [--overwrite] [--mirrors | --no-mirrors] [--pictures DIR]\n"
         "\n"
         "An OpenGL kaleidoscope screen saver: four pictures zoom out endlessly on\n"
         "slowly rotating squares, cut into a wedge and repeated around the centre.\n"
         "\n"
         "Screen-saver switches (a leading / or -, any case):\n"
         "  /s             run full screen; a key, a button or moving the mouse ends it\n"
         "  /p N, /l:N     draw inside window N (the preview box)\n"
         "  /c [N]         show the configuration dialog, owned by window N\n"
         "  /a N           change the screen-saver password: this port has no such\n"
         "                 service, so it does nothing\n"
         "  (nothing)      show the configuration dialog\n"
         "\n"
         "Screen-saver daemon conventions (one or two dashes):\n"
         "  -root          draw on $XSCREENSAVER_WINDOW, else the root window\n"
         "  -window-id ID  draw on window ID (hex 0x... or decimal)\n"
         "  -window        draw in an ordinary 1280x720 window (q or Escape quits);\n"
         "                 -fps, -delay or -geometry alone do the same\n"
         "  -geometry WxH[+X+Y]  size (and place) that window\n"
         "  -fps, --fps-overlay  show frames per second and load\n"
         "  -delay US      sleep US microseconds between frames (default 10000)\n"
         "\n"
         "Settings, in every drawing mode:\n"
         "  --mirrors, --no-mirrors  draw with or without the mirrored wedges\n"
         "  --pictures DIR show the first four JPEG files of DIR (by name) instead of\n"
         "                 the pictures that come with the program\n"
         "  The command line wins, in both directions; what it does not say comes from\n"
         "  the settings file, ${XDG_CONFIG_HOME:-~/.config}/harbor-lights/registry.reg\n"
         "  (written by the configuration dialog), else the defaults (mirrors on, the\n"
         "  built-in pictures). --render reads no settings file: its frames depend on\n"
         "  its arguments only.\n"
         "\n"
         "Offscreen rendering, no display needed:\n"
         "  --render DIR   write DIR/frame-00000.png, frame-00001.png, ...\n"
         "  --render -     write a YUV4MPEG2 video stream to standard output, e.g.\n"
         "                 harbor-lights --render - --seconds 60 | ffmpeg -i - clip.mp4\n"
         "  --seconds N    length of the clip (default 10)\n"
         "  --fps F        frames per second of the clip (default 30, at most 1000)\n"
         "  --size WxH     frame size (default 1280x720, at most 16384 a side)\n"
         "  --seed S       random seed; the same seed gives the same frames\n"
         "  --overwrite    replace the frame-*.png files of an earlier render in DIR\n"
         "                 (without it such a folder is refused)\n"
         "  A render makes at most 1000000 frames.\n"
         "\n"
         "  -h, --help     show this text\n"
         "  --version      show the version\n"
         "\n"
         "Exit status: 0 done (an unknown Windows switch included: nothing runs),\n"
         "1 the saver or the render could not run, 2 a bad option.\n";
}

}  // namespace hl
