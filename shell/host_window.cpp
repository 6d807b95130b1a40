// The screen-saver daemon's conventions: draw on the window it names (-root:
// $XSCREENSAVER_WINDOW, else the root window; -window-id ID), or on an
// ordinary window of our own (-window). The daemon watches the input, so
// nothing here closes on it; q and Escape end our own window. The drawing
// follows the window's size. SIGTERM, SIGINT or the window's destruction end
// the run cleanly.
#include "shell/host_window.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/error_sink.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "renderer/kaleidoscope_renderer.h"
#include "shell/frame_loop.h"
#include "shell/monitor_views.h"
#include "shell/saver_window.h"

namespace hl {
namespace {

using namespace platform;

constexpr const char* kHostClassName = "HarborLights";

KaleidoscopeRenderer* hostRenderer = nullptr;
MonitorPolicy hostPolicy = MonitorPolicy::kOneView;

void Fail(const std::string& message) { std::fprintf(stderr, "harbor-lights: %s\n", message.c_str()); }

LResult HostWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_KEYDOWN:
      if (wParam == 'Q' || wParam == VK_ESCAPE) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case WM_SIZE:
      if (hostRenderer && LOWORD(lParam) > 0 && HIWORD(lParam) > 0) {
        hostRenderer->Resize(LOWORD(lParam), HIWORD(lParam));
        UpdateMonitorViews(*hostRenderer, window, hostPolicy);
      }
      return 0;
    case WM_DISPLAYCHANGE:
      if (hostRenderer) UpdateMonitorViews(*hostRenderer, window, hostPolicy);
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursor(IDC_ARROW));
      break;
    default:
      break;
  }
  return DefWindowProc(window, message, wParam, lParam);
}

// $XSCREENSAVER_WINDOW: hex 0x… or decimal; 0 when it holds no number.
WindowHandle DaemonWindow(const char* text) {
  uint64_t id = 0;
  return text && ParseWindowNumber(text, &id) ? id : kNoWindow;
}

// Attaches to a window of another program; the window system's cause, when
// it gives one, is kept for the one line the caller prints.
std::string attachCause;
bool Attach(WindowHandle window) {
  attachCause.clear();
  SetErrorSink([](const std::string& line) { attachCause = line; });
  const bool attached = AttachWindow(window, kHostClassName);
  SetErrorSink(nullptr);
  return attached;
}

// "no window 0x99999 to draw on", echoing the id as it was typed, or the
// window system's own cause ("X11: window 0x9f9 is on screen 1, …").
std::string AttachFailure(const std::string& window) {
  return attachCause.empty() ? "no " + window + " to draw on" : attachCause;
}

// The window to draw on; kNoWindow (after one line) when there is none.
WindowHandle OpenHostWindow(const LongOptions& options) {
  switch (options.host) {
    case HostMode::Root: {
      const char* variable = std::getenv("XSCREENSAVER_WINDOW");
      WindowHandle target = GetDesktopWindow();
      if (variable && *variable) {
        target = DaemonWindow(variable);
        if (target == kNoWindow) {
          Fail("XSCREENSAVER_WINDOW holds no window id: '" + Printable(variable) + "'");
          return kNoWindow;
        }
      }
      if (!Attach(target)) {
        Fail(AttachFailure(variable && *variable ? "window " + std::string(variable) + " (XSCREENSAVER_WINDOW)"
                                                 : "root window"));
        return kNoWindow;
      }
      return target;
    }
    case HostMode::WindowId:
      if (!Attach(options.windowId)) {
        Fail(AttachFailure("window " + options.windowIdText));
        return kNoWindow;
      }
      return options.windowId;
    case HostMode::Window:
    default:
      return CreateWindow(kHostClassName, "harbor-lights", WS_OVERLAPPEDWINDOW | WS_VISIBLE, options.geometry.x,
                          options.geometry.y, options.geometry.width, options.geometry.height, kNoWindow);
  }
}

int RunOnWindow(const LongOptions& options) {
  WindowClass windowClass;
  windowClass.name = kHostClassName;
  windowClass.procedure = HostWindowProc;
  if (!RegisterClass(windowClass)) {
    Fail(kRegisterClassFailed);
    return 1;
  }
  const WindowHandle window = OpenHostWindow(options);
  if (window == kNoWindow) return 1;
  Rect rect;
  if (!GetWindowRect(window, &rect)) {
    Fail("the window went before drawing began");
    return 1;
  }
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;

  // The daemon shows what we write on standard error; a dialog box over a
  // locked screen would help nobody.
  if (const char* failure = SetUpPixelFormat(window)) {
    Fail(failure);
    return 1;
  }
  const GlContextHandle context = CreateCurrentGlContext(window);
  if (!context) return 1;

  auto renderer = std::make_unique<KaleidoscopeRenderer>();
  renderer->Create(width, height);
  hostRenderer = renderer.get();
  // The daemon's window and the root window cover the screen; -window-id's
  // window is drawn as one view wherever it lies.
  hostPolicy = options.host == HostMode::Root     ? MonitorPolicy::kFullScreen
               : options.host == HostMode::Window ? MonitorPolicy::kWhenSeveral
                                                  : MonitorPolicy::kOneView;
  UpdateMonitorViews(*renderer, window, hostPolicy);
  ShowWindow(window, 0);

  const bool mirrors = !options.noMirrors;
  RunFrameLoop(window, [&] { return renderer->Frame(mirrors); });

  hostRenderer = nullptr;
  renderer->Destroy();
  renderer.reset();
  ReleaseGlContext(context);
  return 0;
}

}  // namespace

int RunHostWindow(const LongOptions& options) {
  if (!ConnectWindowSystem()) return 1;
  WatchTerminationSignals();
  const int status = RunOnWindow(options);
  ResetWindowState();
  DisconnectWindowSystem();
  return status;
}

}  // namespace hl
