// The saver window. In saver mode it covers the screen and closes on a key, a
// button, a mouse travel beyond the threshold or loss of activation; after the
// password delay a close first asks for the password (never, on this system).
// In preview mode it is a child of the display settings' preview box and
// watches nothing.
//
// Time is the tick count, unsigned 32-bit milliseconds: differences stay right
// across its wrap-around after 49.7 days, and the delay's product is taken
// modulo 2^32 too, as the design's arithmetic does.
#include "shell/saver_window.h"

#include <cstdlib>
#include <memory>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/password_services.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/picture_loader.h"
#include "shell/frame_loop.h"
#include "shell/monitor_views.h"
#include "shell/run_mode.h"
#include "shell/saver_settings.h"

namespace hl {

using platform::LParam;
using platform::LResult;
using platform::WindowHandle;
using platform::WParam;

WindowHandle saverWindow = platform::kNoWindow;
bool mirrorsDisabledByOption = false;

namespace {

KaleidoscopeRenderer* renderer = nullptr;

bool Watching() { return runMode == RunSaver && settings->checkingPassword == 0; }

platform::ScreenPoint CursorNow() {
  platform::ScreenPoint point;
  platform::GetCursorPos(&point);
  return point;
}

void CloseProcedure(WindowHandle window) {
  // A close the saver did not request itself (another program's), or one of
  // several queued while the password prompt is up, does nothing.
  if (settings->closeRequested == 0 || settings->checkingPassword == 1) return;
  const uint32_t elapsed = platform::GetTickCount() - settings->startTick;
  const uint32_t delay = settings->passwordDelay * 1000u;
  if (elapsed > delay) {
    BeginPasswordCheck(*settings);
    const bool ok = VerifySaverPassword(window);
    EndPasswordCheck(*settings);
    if (ok) platform::DestroyWindow(window);
  } else {
    platform::DestroyWindow(window);
  }
}

// Tells the system that a full-screen saver runs, and clears that again on
// every way out of the run.
struct RunningFlag {
  bool set = false;
  void Set() {
    platform::SetScreenSaverRunning(true);
    set = true;
  }
  ~RunningFlag() {
    if (set) platform::SetScreenSaverRunning(false);
  }
};

// Undoes ConnectWindowSystem on every way out, when this run made the connection.
struct Connection {
  bool made = false;
  ~Connection() {
    if (!made) return;
    platform::ResetWindowState();
    platform::DisconnectWindowSystem();
  }
};

// While the full-screen saver decodes its pictures (a second each, at worst,
// for a large picture of the user's), the input that arrived is run through
// the window procedure, which asks for the close as usual; a close asked gives
// the remaining pictures up. Other messages wait for the loop.
bool InputClosesStartingSaver() {
  static uint32_t lastLook = 0;
  const uint32_t now = platform::GetTickCount();
  if (now - lastLook >= 20) {
    lastLook = now;
    platform::Message message;
    while (platform::PeekMessage(&message, platform::WM_KEYFIRST, platform::WM_KEYLAST) ||
           platform::PeekMessage(&message, platform::WM_MOUSEFIRST, platform::WM_MOUSELAST)) {
      platform::DispatchMessage(message);
    }
  }
  return settings->closeRequested != 0;
}

}  // namespace

LResult SaverWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  using namespace platform;
  switch (message) {
    case WM_CREATE:
      settings->window = window;
      settings->cursorRef = CursorNow();
      settings->startTick = GetTickCount();
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
      if (Watching() && LOWORD(wParam) == 0) RequestClose(*settings);
      break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (Watching()) RequestClose(*settings);
      break;
    case WM_MOUSEMOVE:
      if (Watching()) {
        // The pointer's screen position, not the message's: the window may be
        // a child, and the reference is in screen coordinates.
        const ScreenPoint now = CursorNow();
        const int64_t dx = std::llabs(int64_t{now.x} - settings->cursorRef.x);
        const int64_t dy = std::llabs(int64_t{now.y} - settings->cursorRef.y);
        if (dx > settings->mouseThreshold || dy > settings->mouseThreshold) RequestClose(*settings);
      }
      break;
    case WM_SETCURSOR:
      SetCursor(Watching() ? kNoCursor : LoadCursor(IDC_ARROW));
      break;
    case WM_SYSCOMMAND:
      // Neither a second saver nor Alt+F4's close while this one runs.
      if (runMode == RunSaver && (wParam == SC_SCREENSAVE || wParam == SC_CLOSE)) return 0;
      break;
    case WM_DISPLAYCHANGE:
      // Full screen means every monitor there is now: the window follows the
      // screen's size and draws on each monitor.
      if (runMode == RunSaver && renderer) {
        MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        UpdateMonitorViews(*renderer, window, MonitorPolicy::kFullScreen);
      }
      break;
    case WM_CLOSE:
      if (runMode == RunSaver) {
        CloseProcedure(window);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProc(window, message, wParam, lParam);
}

void RequestClose(SaverSettings& s) {
  s.closeRequested = 1;
  platform::PostMessage(s.window, platform::WM_CLOSE, 0, 0);
}

void BeginPasswordCheck(SaverSettings& s) {
  s.checkingPassword = 1;
  platform::SendMessage(s.window, platform::WM_SETCURSOR, 0, 0);  // the arrow, for the prompt
}

void EndPasswordCheck(SaverSettings& s) {
  s.checkingPassword = 0;
  platform::SendMessage(s.window, platform::WM_SETCURSOR, 0, 0);  // hidden again
  s.cursorRef = CursorNow();
}

bool VerifySaverPassword(WindowHandle window) { return platform::VerifyScreenSaverPassword(window); }

bool RunSaverWindow(WindowHandle parent, int showCommand) {
  using namespace platform;
  Connection connection;
  if (!CurrentWindowSystem()) {
    if (!ConnectWindowSystem()) return false;  // it said why, in one line
    connection.made = true;
  }
  WatchTerminationSignals();

  WindowClass windowClass;
  windowClass.name = kSaverClassName;
  windowClass.procedure = SaverWindowProc;
  if (!RegisterClass(windowClass)) {
    MessageBox(kRegisterClassFailed, "Error");
    return false;
  }

  int width = 0, height = 0;
  uint32_t style = 0;
  WindowHandle owner = kNoWindow;
  if (runMode == RunPreview) {
    Rect rect;
    if (GetWindowRect(parent, &rect)) {
      width = rect.right - rect.left;
      height = rect.bottom - rect.top;
    }
    style = WS_CHILD | WS_VISIBLE;
    owner = parent;
  } else {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    style = WS_POPUP | WS_VISIBLE;
  }

  const WindowHandle window = CreateWindow(kSaverClassName, kSaverWindowTitle, style, 0, 0, width, height, owner);
  // A preview whose parent names no window ends here silently, as designed.
  if (window == kNoWindow) return runMode == RunPreview;
  saverWindow = window;
  RunningFlag running;
  if (runMode == RunSaver) running.Set();

  if (const char* failure = SetUpPixelFormat(window)) {
    // NOTE: the full-screen window is raised above everything and holds the
    // keyboard and pointer: a box shown now would sit unreachable beneath it.
    // The window goes first, so the box can be seen and answered.
    if (runMode == RunSaver) DestroyWindow(window);
    MessageBox(failure, "Error");
    return false;
  }

  // The design leaves these unchecked; without a current context the renderer
  // cannot start, so this ends the run like the pixel-format failures, with a
  // box of the same kind (the backend has also said why, in one line).
  const GlContextHandle context = CreateCurrentGlContext(window);
  if (!context) {
    // A preview whose parent went in the meantime took our window with it:
    // that is the preview's ordinary end, not a failure.
    Rect rect;
    if (runMode == RunPreview && !GetWindowRect(window, &rect)) return true;
    if (runMode == RunSaver) DestroyWindow(window);
    MessageBox(kCreateContextFailed, "Error");
    return false;
  }

  auto ownedRenderer = std::make_unique<KaleidoscopeRenderer>();
  renderer = ownedRenderer.get();
  if (runMode == RunSaver) pictureDecodeInterrupted = InputClosesStartingSaver;
  renderer->Create(width, height);
  pictureDecodeInterrupted = nullptr;
  if (runMode == RunSaver) UpdateMonitorViews(*renderer, window, MonitorPolicy::kFullScreen);
  ShowWindow(window, showCommand);

  RunFrameLoop(window, [] {
    const bool mirrors = settings->useMirrors != 0 && !mirrorsDisabledByOption;
    return renderer->Frame(mirrors);
  });

  renderer->Destroy();
  ownedRenderer.reset();
  renderer = nullptr;
  ReleaseGlContext(context);
  saverWindow = kNoWindow;
  return true;
}

}  // namespace hl
