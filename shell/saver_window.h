#pragma once
// The window the saver draws in, its GL context, the message loop and the close
// policy.
#include "platform/messages.h"
#include "platform/window_types.h"

namespace hl {

struct SaverSettings;

// The user-facing texts of the three set-up failures (two spaces after each colon).
constexpr const char* kRegisterClassFailed = "RegisterClass() failed:  Cannot register window class.";
constexpr const char* kChoosePixelFormatFailed = "ChoosePixelFormat() failed:  Cannot find a suitable pixel format.";
constexpr const char* kSetPixelFormatFailed = "SetPixelFormat() failed:  Cannot set format specified.";
constexpr const char* kCreateContextFailed = "wglCreateContext() failed:  Cannot create an OpenGL rendering context.";

// The saver window's class and title.
constexpr const char* kSaverClassName = "OpenGL";
constexpr const char* kSaverWindowTitle = "SaverWindow";

// The saver window, while it exists.
extern platform::WindowHandle saverWindow;

// Returns when the window is gone or set-up failed; false when the run could
// not start (its message has been shown). A preview whose parent names no
// window ends at once and counts as done. Connects to the window system unless
// a backend is installed already (tests install a fake one).
bool RunSaverWindow(platform::WindowHandle parent, int showCommand);

// Watches keyboard, mouse and activation in saver mode and closes the saver.
platform::LResult SaverWindowProc(platform::WindowHandle window, uint32_t message, platform::WParam wParam,
                                  platform::LParam lParam);

// Marks the close as the saver's own and posts WM_CLOSE.
void RequestClose(SaverSettings& settings);
void BeginPasswordCheck(SaverSettings& settings);
void EndPasswordCheck(SaverSettings& settings);
// True when the saver may close. On this system the session locker (the
// screen-saver daemon) guards the session, as on the NT family of the system
// the design was written for, so nothing is asked.
bool VerifySaverPassword(platform::WindowHandle window);

}  // namespace hl
