#pragma once
// The X11 + GLX backend: one connection to the X server standing in for the
// window system, the pixel formats and the GL contexts. Private to
// platform/x11/; the rest of the program sees platform/window_system.h and
// platform/gl_window_context.h only.
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <map>
#include <vector>

#include "platform/gl_window_context.h"
#include "platform/window_system.h"

namespace platform {

struct X11WindowInfo {
  bool own = true;     // false: a foreign window we draw on (-root, -window-id)
  bool popup = false;  // full screen, override-redirect, grabs input when shown
  Colormap colormap = 0;
  VisualID visual = 0;
  int format = 0;  // the pixel format set on it (a GLX visual id), 0 before
  int width = 0;
  int height = 0;
  bool grabbed = false;
};

class X11Backend : public WindowSystem, public GlWindowBackend {
 public:
  explicit X11Backend(Display* display);
  ~X11Backend() override;

  // x11_window.cpp
  WindowHandle CreateNativeWindow(const char* className, const char* title, uint32_t style, int x, int y, int width,
                                  int height, WindowHandle parent) override;
  bool AttachForeignWindow(WindowHandle window) override;
  void DestroyNativeWindow(WindowHandle window) override;
  void ShowNativeWindow(WindowHandle window, int showCommand) override;
  bool MoveNativeWindow(WindowHandle window, int x, int y, int width, int height) override;

  // x11_display.cpp
  bool WindowRect(WindowHandle window, Rect* rect) override;
  int ScreenMetric(int index) override;
  WindowHandle DesktopWindow() override { return root_; }
  void ActivateScreenSaver() override;

  // x11_cursor.cpp
  bool CursorPos(ScreenPoint* point) override;
  CursorHandle ArrowCursor() override;
  void ShowCursorShape(CursorHandle cursor) override;

  // x11_events.cpp
  void PumpEvents() override;

  // x11_monitors.cpp
  std::vector<Rect> MonitorRects(WindowHandle window) override;

  // glx_context.cpp
  int ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor) override;
  bool SetPixelFormat(WindowHandle window, int format) override;
  bool DescribePixelFormat(WindowHandle window, int format, PixelFormatDescriptor* descriptor) override;
  GlContextHandle CreateContext(WindowHandle window) override;
  bool MakeCurrent(WindowHandle window, GlContextHandle context) override;
  bool SwapBuffers(WindowHandle window) override;
  void DeleteContext(GlContextHandle context) override;

 private:
  void Translate(XEvent& event);
  void Grab(Window window, X11WindowInfo& info);
  // The double-buffered RGBA visual our own windows are made with; null
  // without GLX or without such a visual.
  XVisualInfo* GlVisual();
  bool VisualIsGlCapable(VisualID visual);
  // x11_monitors.cpp: asks for RandR's change events, when it has them.
  void WatchMonitors();
  // A RandR event: noted, to become one WM_DISPLAYCHANGE per batch of events.
  bool TranslateMonitorEvent(XEvent& event);
  void PostDisplayChange();
  // The monitors in root coordinates: RandR's, else Xinerama's screens.
  std::vector<Rect> ScreenMonitors();

  Display* display_;
  int screen_;
  Window root_;
  Atom wmProtocols_;
  Atom wmDeleteWindow_;
  Atom netWmName_;
  Atom utf8String_;
  Cursor arrowCursor_ = 0;
  Cursor blankCursor_ = 0;
  CursorHandle shownCursor_ = kNoCursor;
  bool glVisualChosen_ = false;
  XVisualInfo* glVisual_ = nullptr;
  std::map<Window, X11WindowInfo> windows_;
  int randrEventBase_ = -1;  // -1: no RandR
  bool randrMonitors_ = false;  // RandR 1.5's monitor list
  bool monitorsChanged_ = false;
};

// Protocol errors inside a trap are recorded instead of reported: the window
// a number names may not exist, or may have just been destroyed.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);
  ~X11ErrorTrap();
  // Waits for the server's replies; true when a request failed.
  bool Failed();

 private:
  Display* display_;
};

}  // namespace platform
