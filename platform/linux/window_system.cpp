#include "platform/window_system.h"

#include <deque>
#include <map>
#include <string>

#include "platform/gl_window_context.h"

namespace platform {
namespace {

struct State {
  WindowSystem* system = nullptr;
  std::map<std::string, WindowProc> classes;
  std::map<WindowHandle, WindowProc> windows;
  std::deque<Message> posted;
  bool quitPosted = false;
  int quitCode = 0;
  CursorHandle cursor = kNoCursor;
};

State& S() {
  static State state;
  return state;
}

WindowProc ProcedureOf(WindowHandle window) {
  auto it = S().windows.find(window);
  return it == S().windows.end() ? nullptr : it->second;
}

// Letters and digits keep their codes; only Alt+F4 means something here.
bool IsAltF4(WParam key, LParam lParam) { return key == VK_F4 && (lParam & KF_ALTDOWN_LPARAM) != 0; }

}  // namespace

void UseWindowSystem(WindowSystem* system) { S().system = system; }
WindowSystem* CurrentWindowSystem() { return S().system; }

bool RegisterClass(const WindowClass& windowClass) {
  if (!S().system || !windowClass.name || !windowClass.procedure) return false;
  auto [it, inserted] = S().classes.emplace(windowClass.name, windowClass.procedure);
  return inserted || it->second == windowClass.procedure;
}

WindowHandle CreateWindow(const char* className, const char* title, uint32_t style, int x, int y, int width,
                          int height, WindowHandle parent) {
  if (!S().system) return kNoWindow;
  auto it = S().classes.find(className ? className : "");
  if (it == S().classes.end()) return kNoWindow;
  // A child needs a parent; the backend finds out whether the number names one.
  if ((style & WS_CHILD) && parent == kNoWindow) return kNoWindow;
  const WindowHandle window = S().system->CreateNativeWindow(className, title, style, x, y, width, height, parent);
  if (window == kNoWindow) return kNoWindow;
  S().windows[window] = it->second;
  SendMessage(window, WM_CREATE, 0, 0);
  return window;
}

bool AttachWindow(WindowHandle window, const char* className) {
  if (!S().system || window == kNoWindow) return false;
  auto it = S().classes.find(className ? className : "");
  if (it == S().classes.end()) return false;
  if (!S().system->AttachForeignWindow(window)) return false;
  S().windows[window] = it->second;
  SendMessage(window, WM_CREATE, 0, 0);
  return true;
}

bool DestroyWindow(WindowHandle window) {
  if (!ProcedureOf(window)) return false;
  SendMessage(window, WM_DESTROY, 0, 0);
  S().windows.erase(window);
  if (S().system) S().system->DestroyNativeWindow(window);
  return true;
}

void NotifyWindowDestroyed(WindowHandle window) {
  if (!ProcedureOf(window)) return;
  SendMessage(window, WM_DESTROY, 0, 0);
  S().windows.erase(window);
}

bool IsWindow(WindowHandle window) { return ProcedureOf(window) != nullptr; }

void ShowWindow(WindowHandle window, int showCommand) {
  if (S().system && IsWindow(window)) S().system->ShowNativeWindow(window, showCommand);
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
  return S().system && IsWindow(window) && width > 0 && height > 0 &&
         S().system->MoveNativeWindow(window, x, y, width, height);
}

bool GetWindowRect(WindowHandle window, Rect* rect) {
  return S().system && window != kNoWindow && S().system->WindowRect(window, rect);
}

int GetSystemMetrics(int index) { return S().system ? S().system->ScreenMetric(index) : 0; }

std::vector<Rect> GetMonitorRects(WindowHandle window) {
  return S().system ? S().system->MonitorRects(window) : std::vector<Rect>{};
}

WindowHandle GetDesktopWindow() { return S().system ? S().system->DesktopWindow() : kNoWindow; }

bool GetCursorPos(ScreenPoint* point) { return S().system && S().system->CursorPos(point); }

CursorHandle LoadCursor(uint32_t id) {
  return S().system && id == IDC_ARROW ? S().system->ArrowCursor() : kNoCursor;
}

CursorHandle SetCursor(CursorHandle cursor) {
  const CursorHandle previous = S().cursor;
  S().cursor = cursor;
  if (S().system) S().system->ShowCursorShape(cursor);
  return previous;
}

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (window != kNoWindow && !IsWindow(window)) return false;
  S().posted.push_back(Message{window, message, wParam, lParam});
  return true;
}

void PostQuitMessage(int exitCode) {
  S().quitPosted = true;
  S().quitCode = exitCode;
}

bool PeekMessage(Message* message) {
  State& s = S();
  // NOTE: events are read only when nothing is posted, so a message the saver
  // posts to itself (WM_CLOSE after an input) is handled before newer input.
  if (s.posted.empty() && !s.quitPosted && s.system) s.system->PumpEvents();
  if (!s.posted.empty()) {
    *message = s.posted.front();
    s.posted.pop_front();
    return true;
  }
  if (s.quitPosted) {
    s.quitPosted = false;
    *message = Message{kNoWindow, WM_QUIT, static_cast<WParam>(s.quitCode), 0};
    return true;
  }
  return false;
}

bool PeekMessage(Message* message, uint32_t first, uint32_t last) {
  if (first == 0 && last == 0) return PeekMessage(message);
  State& s = S();
  if (s.system) s.system->PumpEvents();
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (it->message < first || it->message > last) continue;
    *message = *it;
    s.posted.erase(it);
    return true;
  }
  return false;
}

LResult DispatchMessage(const Message& message) {
  WindowProc procedure = ProcedureOf(message.window);
  // Messages for a window that is gone by now are dropped, as the system does.
  return procedure ? procedure(message.window, message.message, message.wParam, message.lParam) : 0;
}

LResult SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  WindowProc procedure = ProcedureOf(window);
  return procedure ? procedure(window, message, wParam, lParam) : 0;
}

LResult DefWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      if (IsAltF4(wParam, lParam)) SendMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) SendMessage(window, WM_CLOSE, 0, 0);
      if (wParam == SC_SCREENSAVE && S().system) S().system->ActivateScreenSaver();
      return 0;
    default:
      return 0;
  }
}

void ResetWindowState() {
  WindowSystem* system = S().system;
  S() = State{};
  S().system = system;
}

// The GL calls go to whichever backend is installed.
namespace {
GlWindowBackend* glBackend = nullptr;
}

void UseGlWindowBackend(GlWindowBackend* backend) { glBackend = backend; }

int ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor) {
  return glBackend ? glBackend->ChoosePixelFormat(window, descriptor) : 0;
}
bool SetPixelFormat(WindowHandle window, int format, const PixelFormatDescriptor&) {
  return glBackend && format != 0 && glBackend->SetPixelFormat(window, format);
}
bool DescribePixelFormat(WindowHandle window, int format, PixelFormatDescriptor* descriptor) {
  return glBackend && glBackend->DescribePixelFormat(window, format, descriptor);
}
GlContextHandle CreateGlContext(WindowHandle window) { return glBackend ? glBackend->CreateContext(window) : 0; }
bool MakeGlContextCurrent(WindowHandle window, GlContextHandle context) {
  return glBackend && glBackend->MakeCurrent(window, context);
}
bool SwapBuffers(WindowHandle window) { return glBackend && glBackend->SwapBuffers(window); }
void DeleteGlContext(GlContextHandle context) {
  if (glBackend && context) glBackend->DeleteContext(context);
}

}  // namespace platform
