// Windows, classes and the message queue: the system's own. A class keeps the
// shell's procedure; the system calls it through ClassProcedure, which hands
// it the message unchanged.
#include <map>
#include <string>

#include "platform/win32/system.h"

namespace platform {
namespace {

using win32::Handle;
using win32::Hwnd;

// The procedure of each class we registered. Map nodes never move, so a
// window keeps a pointer to its class's entry.
std::map<std::string, WindowProc>& Classes() {
  static std::map<std::string, WindowProc> classes;
  return classes;
}

WindowSystem* installedSystem = nullptr;

// The message PeekMessage removed last, with the time and position that the
// shell's record does not carry, for TranslateMessage and DispatchMessageA.
MSG lastMessage{};

LRESULT CALLBACK ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* procedure = reinterpret_cast<const WindowProc*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!procedure) {
    // The messages before WM_NCCREATE (WM_GETMINMAXINFO) go to the default.
    if (message != WM_NCCREATE) return ::DefWindowProcA(window, message, wParam, lParam);
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    procedure = static_cast<const WindowProc*>(create->lpCreateParams);
    if (!procedure) return ::DefWindowProcA(window, message, wParam, lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(procedure));
  }
  return (*procedure)(Handle(window), message, wParam, lParam);
}

}  // namespace

void UseWindowSystem(WindowSystem* system) { installedSystem = system; }
WindowSystem* CurrentWindowSystem() { return installedSystem; }

// The window system is always there.
bool ConnectWindowSystem() { return true; }
void DisconnectWindowSystem() {}

bool RegisterClass(const WindowClass& windowClass) {
  if (!windowClass.name || !windowClass.procedure) return false;
  auto found = Classes().find(windowClass.name);
  if (found != Classes().end()) return found->second == windowClass.procedure;

  WNDCLASSA system{};
  system.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  system.lpfnWndProc = ClassProcedure;
  system.hInstance = win32::Instance();
  system.lpszClassName = windowClass.name;  // no icon, cursor, brush or menu
  if (!::RegisterClassA(&system)) return false;
  Classes().emplace(windowClass.name, windowClass.procedure);
  return true;
}

WindowHandle CreateWindow(const char* className, const char* title, uint32_t style, int x, int y, int width,
                          int height, WindowHandle parent) {
  auto found = Classes().find(className ? className : "");
  if (found == Classes().end()) return kNoWindow;
  // The procedure receives WM_CREATE before this returns.
  HWND window = ::CreateWindowExA(0, className, title, style, x, y, width, height, Hwnd(parent), nullptr,
                                  win32::Instance(), const_cast<WindowProc*>(&found->second));
  return Handle(window);
}

// Windows of other programs are never drawn on here: the preview box is a
// parent, not a window to take over.
bool AttachWindow(WindowHandle, const char*) { return false; }

bool DestroyWindow(WindowHandle window) { return ::DestroyWindow(Hwnd(window)) != 0; }
bool IsWindow(WindowHandle window) { return window != kNoWindow && ::IsWindow(Hwnd(window)) != 0; }
void ShowWindow(WindowHandle window, int showCommand) { ::ShowWindow(Hwnd(window), showCommand); }

bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
  return ::MoveWindow(Hwnd(window), x, y, width, height, TRUE) != 0;
}

bool GetWindowRect(WindowHandle window, Rect* rect) {
  RECT system{};
  // A window number of 0 would otherwise read as the desktop on some systems.
  if (window == kNoWindow || !::GetWindowRect(Hwnd(window), &system)) return false;
  *rect = Rect{system.left, system.top, system.right, system.bottom};
  return true;
}

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }
WindowHandle GetDesktopWindow() { return Handle(::GetDesktopWindow()); }

// One view over the whole window, as designed: the window covers the primary
// screen, which the system's metrics give.
std::vector<Rect> GetMonitorRects(WindowHandle) { return {}; }

bool GetCursorPos(ScreenPoint* point) {
  POINT system{};
  if (!::GetCursorPos(&system)) return false;
  point->x = system.x;
  point->y = system.y;
  return true;
}

CursorHandle LoadCursor(uint32_t id) {
  return reinterpret_cast<uintptr_t>(::LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

CursorHandle SetCursor(CursorHandle cursor) {
  return reinterpret_cast<uintptr_t>(::SetCursor(reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(cursor))));
}

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return ::PostMessageA(Hwnd(window), message, wParam, lParam) != 0;
}

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

bool PeekMessage(Message* message) { return PeekMessage(message, 0, 0); }

bool PeekMessage(Message* message, uint32_t first, uint32_t last) {
  MSG system{};
  if (!::PeekMessageA(&system, nullptr, first, last, PM_REMOVE)) return false;
  lastMessage = system;
  message->window = Handle(system.hwnd);
  message->message = system.message;
  message->wParam = system.wParam;
  message->lParam = system.lParam;
  return true;
}

LResult DispatchMessage(const Message& message) {
  MSG system = lastMessage;
  if (Handle(system.hwnd) != message.window || system.message != message.message ||
      system.wParam != message.wParam || system.lParam != message.lParam) {
    system = MSG{};
    system.hwnd = Hwnd(message.window);
    system.message = message.message;
    system.wParam = message.wParam;
    system.lParam = message.lParam;
  }
  // Key presses also become character messages, as in any message loop.
  ::TranslateMessage(&system);
  return ::DispatchMessageA(&system);
}

LResult SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return ::SendMessageA(Hwnd(window), message, wParam, lParam);
}

LResult DefWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return ::DefWindowProcA(Hwnd(window), message, wParam, lParam);
}

// The system tells a window's procedure itself when it goes.
void NotifyWindowDestroyed(WindowHandle) {}

void ResetWindowState() {}

}  // namespace platform
