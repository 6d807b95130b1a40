#pragma once
// Windows, their procedures and the message queue, in the shape of the Windows
// calls the shell's design makes. The queue, the class table and dispatching
// live here; a backend (platform/x11/, or a fake in tests) makes the native
// windows and turns its events into posted messages, so every message a
// procedure sees comes down the same path.
#include <cstdint>
#include <vector>

#include "platform/messages.h"
#include "platform/window_types.h"

namespace platform {

// Window styles.
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;  // an ordinary decorated window
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_POPUP = 0x80000000;

// GetSystemMetrics indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

using CursorHandle = uint64_t;  // 0: no cursor (hidden)
constexpr CursorHandle kNoCursor = 0;
constexpr uint32_t IDC_ARROW = 32512;

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct WindowClass {
  const char* name = nullptr;
  WindowProc procedure = nullptr;
};

// What a backend provides. Calls come from the one thread that runs the loop.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // A native window; kNoWindow when it cannot be made (a child whose parent
  // names no window, for one).
  virtual WindowHandle CreateNativeWindow(const char* className, const char* title, uint32_t style, int x, int y,
                                          int width, int height, WindowHandle parent) = 0;
  // Starts reporting the size changes and destruction of a window another
  // program made, so that we can draw on it; false when it names no window.
  virtual bool AttachForeignWindow(WindowHandle window) = 0;
  // Our own windows are destroyed; a foreign one is only let go.
  virtual void DestroyNativeWindow(WindowHandle window) = 0;
  virtual void ShowNativeWindow(WindowHandle window, int showCommand) = 0;
  // Moves and resizes one of our own windows; false for others.
  virtual bool MoveNativeWindow(WindowHandle, int /*x*/, int /*y*/, int /*width*/, int /*height*/) { return false; }
  virtual bool WindowRect(WindowHandle window, Rect* rect) = 0;
  virtual int ScreenMetric(int index) = 0;
  virtual WindowHandle DesktopWindow() = 0;
  virtual bool CursorPos(ScreenPoint* point) = 0;
  virtual CursorHandle ArrowCursor() = 0;
  virtual void ShowCursorShape(CursorHandle cursor) = 0;
  // What the default procedure does for SC_SCREENSAVE: start the system's saver.
  virtual void ActivateScreenSaver() = 0;
  // Turns the events waiting into posted messages, without blocking.
  virtual void PumpEvents() = 0;
  // The display's monitors that `window` shows on, each cut to the window and
  // in its coordinates (origin at its top-left inside corner); empty when the
  // window system knows no monitors. A change posts WM_DISPLAYCHANGE.
  virtual std::vector<Rect> MonitorRects(WindowHandle) { return {}; }
};

// Installs `system` for every call below; nullptr leaves no backend.
void UseWindowSystem(WindowSystem* system);
WindowSystem* CurrentWindowSystem();

// The backend linked into the program (X11): opens the display named by
// $DISPLAY and installs itself. On failure reports one line and returns false.
bool ConnectWindowSystem();
// Closes the connection and uninstalls the backend.
void DisconnectWindowSystem();

// Fails when no backend is installed or a class of that name with another
// procedure exists. Registering the same class again succeeds.
bool RegisterClass(const WindowClass& windowClass);
// Creates the window and sends it WM_CREATE before returning; kNoWindow on failure.
WindowHandle CreateWindow(const char* className, const char* title, uint32_t style, int x, int y, int width,
                          int height, WindowHandle parent);
// Hands a foreign window (-root, -window-id) to the class's procedure: it
// receives WM_CREATE now, then WM_SIZE and WM_DESTROY as they happen.
bool AttachWindow(WindowHandle window, const char* className);
// Sends WM_DESTROY, then destroys (or lets go of) the native window.
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
void ShowWindow(WindowHandle window, int showCommand);
// The window's new position and size; WM_SIZE follows when the size changed.
bool MoveWindow(WindowHandle window, int x, int y, int width, int height);
bool GetWindowRect(WindowHandle window, Rect* rect);
int GetSystemMetrics(int index);
WindowHandle GetDesktopWindow();  // the root window on X11
// The monitors `window` shows on, as WindowSystem::MonitorRects gives them.
std::vector<Rect> GetMonitorRects(WindowHandle window);
bool GetCursorPos(ScreenPoint* point);
CursorHandle LoadCursor(uint32_t id);
CursorHandle SetCursor(CursorHandle cursor);  // returns the previous one

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
void PostQuitMessage(int exitCode);
// Removes the next message, if any: posted messages in order, then WM_QUIT
// once quit was posted, then whatever the backend's events turn into.
bool PeekMessage(Message* message);
// The same, for the first message whose number lies in [first, last] (the
// system's message filter; 0 and 0 take any); the others stay queued, in order.
bool PeekMessage(Message* message, uint32_t first, uint32_t last);
LResult DispatchMessage(const Message& message);
LResult SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
// The default handling: WM_CLOSE destroys the window; Alt+F4 becomes
// SC_CLOSE, which becomes WM_CLOSE; SC_SCREENSAVE starts the system's saver.
LResult DefWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// For backends: a window was destroyed by someone else (its parent went, say).
// Its procedure receives WM_DESTROY and the handle is forgotten.
void NotifyWindowDestroyed(WindowHandle window);

// Tests: forgets every class, window and queued message.
void ResetWindowState();

}  // namespace platform
