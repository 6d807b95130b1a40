#pragma once
// Opaque handles and small records the shell exchanges with the platform layer.
// No window-system header here: a window is a number (an X window id on X11).
#include <cstdint>

namespace platform {

using WindowHandle = uint64_t;  // 0: none
constexpr WindowHandle kNoWindow = 0;

struct ScreenPoint {
  int32_t x = 0;
  int32_t y = 0;
};

}  // namespace platform
