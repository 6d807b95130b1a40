#include "shell/long_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace hl {
namespace {

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
  if (!ParseDecimal(text.substr(0, x), 16384, &w) || !ParseDecimal(text.substr(x + 1), 16384, &h)) return false;
  if (w == 0 || h == 0) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
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

bool ParseLongOptions(int argc, const char* const* argv, LongOptions* options, std::string* error) {
  *options = LongOptions{};
  options->rest.push_back(argc > 0 && argv[0] ? argv[0] : "harbor-lights");
  bool renderValueGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool doubleDash = arg.rfind("--", 0) == 0;
    const std::string name = ConventionName(arg);
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (doubleDash && name == "help") {
      options->help = true;
    } else if (doubleDash && name == "version") {
      options->version = true;
    } else if (doubleDash && name == "render") {
      if (!value(&v)) return false;
      if (v.empty()) {
        *error = "--render needs a folder";
        return false;
      }
      options->render = true;
      options->renderOptions.directory = v;
    } else if (doubleDash && (name == "seconds" || name == "fps")) {
      if (!value(&v)) return false;
      double number = 0;
      if (!ParsePositiveNumber(v, &number)) {
        *error = "--" + name + " takes a positive number, not '" + v + "'";
        return false;
      }
      (name == "seconds" ? options->renderOptions.seconds : options->renderOptions.fps) = number;
      renderValueGiven = true;
    } else if (doubleDash && name == "size") {
      if (!value(&v)) return false;
      if (!ParseSize(v, &options->renderOptions.width, &options->renderOptions.height)) {
        *error = "--size takes WIDTHxHEIGHT (1 to 16384 each), not '" + v + "'";
        return false;
      }
      renderValueGiven = true;
    } else if (doubleDash && name == "seed") {
      if (!value(&v)) return false;
      uint64_t seed = 0;
      if (!ParseDecimal(v, UINT32_MAX, &seed)) {
        *error = "--seed takes a whole number from 0 to 4294967295, not '" + v + "'";
        return false;
      }
      options->renderOptions.seedGiven = true;
      options->renderOptions.seed = static_cast<uint32_t>(seed);
      renderValueGiven = true;
    } else if (name == "no-mirrors") {
      options->noMirrors = true;
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
    } else if ((!doubleDash && name == "fps") || (doubleDash && name == "fps-overlay")) {
      options->fpsOverlay = true;
    } else if (doubleDash && name == "pictures") {
      if (!value(&v)) return false;
      options->picturesDirectory = v;
    } else if (doubleDash) {
      *error = "unknown option " + arg + " (see --help)";
      return false;
    } else {
      options->rest.push_back(arg);  // a screen-saver switch such as /s or -c:5678
    }
  }
  if (renderValueGiven && !options->render) {
    *error = "--seconds, --fps, --size and --seed go with --render DIR";
    return false;
  }
  return true;
}

const char* UsageText() {
  return "Usage: harbor-lights [SWITCH]\n"
         "       harbor-lights -root | -window | -window-id ID  [--no-mirrors] [-fps]\n"
         "       harbor-lights --render DIR [--seconds N] [--fps F] [--size WxH] [--seed S] [--no-mirrors]\n"
         "  (--pictures DIR goes with any of these)\n"
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
         "Screen-saver daemon conventions:\n"
         "  -root          draw on $XSCREENSAVER_WINDOW, else the root window\n"
         "  -window-id ID  draw on window ID (hex 0x... or decimal)\n"
         "  -window        draw in an ordinary 1280x720 window (q or Escape quits)\n"
         "  -fps, --fps-overlay  show frames per second and load\n"
         "  --no-mirrors   draw the scene once, without the mirrored wedges\n"
         "  --pictures DIR show the first four JPEG files of DIR (by name) instead of\n"
         "                 the pictures that come with the program\n"
         "\n"
         "Offscreen rendering, no display needed:\n"
         "  --render DIR   write DIR/frame-00000.png, frame-00001.png, ...\n"
         "  --seconds N    length of the clip (default 10)\n"
         "  --fps F        frames per second of the clip (default 30)\n"
         "  --size WxH     frame size (default 1280x720)\n"
         "  --seed S       random seed; the same seed gives the same files\n"
         "\n"
         "  --help         show this text\n"
         "  --version      show the version\n"
         "\n"
         "Settings: ${XDG_CONFIG_HOME:-~/.config}/harbor-lights/registry.reg\n";
}

}  // namespace hl
