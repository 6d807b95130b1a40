#pragma once
// The one way the Win32 backend reaches <windows.h>.
//
// The platform headers give the shell the system's names for its messages,
// constants and calls (WM_CLOSE, ERROR_SUCCESS, CreateWindow, ...), while
// <windows.h> defines many of the same names as macros. So the platform
// headers come first, while none of those macros exists yet, then the system
// header, and then the macros that would rename our own calls (CreateWindow
// to CreateWindowA, ...) are taken back. After this header a bare WM_CLOSE is
// the system's macro, with the same value as platform::WM_CLOSE; the system's
// calls are named with their leading "::".
#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/error_sink.h"
#include "platform/gl_window_context.h"
#include "platform/libraries.h"
#include "platform/message_box.h"
#include "platform/messages.h"
#include "platform/password_services.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "platform/window_types.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateWindow
#undef DefWindowProc
#undef DispatchMessage
#undef LoadCursor
#undef MessageBox
#undef PeekMessage
#undef PostMessage
#undef RegisterClass
#undef SendMessage

namespace platform {
namespace win32 {

// Our handles carry the system's handle values.
inline HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
inline WindowHandle Handle(HWND window) { return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(window)); }

// The calling process's module: the resources, classes and dialogs are its own.
inline HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

}  // namespace win32
}  // namespace platform
