#pragma once
// The messages a window procedure receives, with the names and values the
// Windows API gives them, so the shell's procedure reads as designed. The
// backend translates window-system events into these.
#include <cstdint>

#include "platform/window_types.h"

namespace platform {

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// Window messages.
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;  // monitors or screen size changed
constexpr uint32_t WM_NCACTIVATE = 0x0086;
constexpr uint32_t WM_KEYFIRST = 0x0100;  // the range of keyboard messages
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_KEYLAST = 0x0109;
constexpr uint32_t WM_MOUSEFIRST = 0x0200;  // the range of mouse messages
constexpr uint32_t WM_MOUSELAST = 0x020E;

// WM_ACTIVATE's low word of wParam.
constexpr WParam WA_INACTIVE = 0;
constexpr WParam WA_ACTIVE = 1;

// WM_SYSCOMMAND's wParam.
constexpr WParam SC_CLOSE = 0xF060;
constexpr WParam SC_SCREENSAVE = 0xF140;

// Virtual-key codes carried by the key messages' wParam (letters and digits
// are their upper-case ASCII codes).
constexpr WParam VK_RETURN = 0x0D;
constexpr WParam VK_ESCAPE = 0x1B;
constexpr WParam VK_SPACE = 0x20;
constexpr WParam VK_F1 = 0x70;
constexpr WParam VK_F4 = 0x73;
constexpr WParam VK_F10 = 0x79;

// WM_SYSKEYDOWN's lParam bit 29: the Alt key was held.
constexpr LParam KF_ALTDOWN_LPARAM = LParam{1} << 29;

constexpr uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr LParam MAKELPARAM(int low, int high) {
  return static_cast<LParam>((static_cast<uint32_t>(low) & 0xFFFF) | ((static_cast<uint32_t>(high) & 0xFFFF) << 16));
}

struct Message {
  WindowHandle window = kNoWindow;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
};

using WindowProc = LResult (*)(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

}  // namespace platform
