// Plays the display settings' preview box: makes a small top-level window,
// starts the saver with /p and that window's number, and checks the preview's
// life cycle from outside:
//   - a child of class "OpenGL", titled "SaverWindow", appears in the host,
//     WS_CHILD | WS_VISIBLE, as large as the host's window rectangle;
//   - the saver keeps running while the host lives (a preview watches nothing:
//     keys and mouse moves sent to the child do not end it);
//   - when the host destroys its window, the saver ends with status 0.
// Prints one line per failed check; exits 0 when all hold.
//
//   hl_preview_host SCR [WIDTH HEIGHT]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/windows/probe_checks.h"

namespace {

using probe::Fail;
using probe::failures;

// Pumps this thread's messages for up to `ms`, returning early once `done`
// says so. The saver's child sends its parent messages across processes, so
// the host must keep answering while it waits.
template <typename Done>
bool PumpUntil(DWORD ms, HANDLE process, Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return false;
    const DWORD wait = (ms - elapsed) < 50 ? (ms - elapsed) : 50;
    HANDLE handles[1] = {process};
    MsgWaitForMultipleObjects(process ? 1 : 0, handles, FALSE, wait, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool Exited(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: hl_preview_host SCR [WIDTH HEIGHT]\n");
    return 2;
  }
  const int width = argc == 4 ? std::atoi(argv[2]) : 152;
  const int height = argc == 4 ? std::atoi(argv[3]) : 112;

  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HlPreviewHost";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (!RegisterClassA(&wc)) {
    Fail("the host's window class");
    return 1;
  }
  // A borderless window: its window rectangle is its client area, like the
  // preview control's.
  HWND host = CreateWindowExA(0, "HlPreviewHost", "PreviewHost", WS_POPUP | WS_VISIBLE, 40, 30, width, height,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (!host) {
    Fail("the host window");
    return 1;
  }

  std::string command = std::string("\"") + argv[1] + "\" /p " + std::to_string(reinterpret_cast<uintptr_t>(host));
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(argv[1], &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("FAIL: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }

  // CreateWindowExA shows a WS_VISIBLE window only as it returns, after the
  // host has heard of the child; wait for the whole creation.
  HWND child = nullptr;
  PumpUntil(30000, pi.hProcess, [&] {
    child = FindWindowExA(host, nullptr, "OpenGL", nullptr);
    return (child != nullptr && IsWindowVisible(child)) || Exited(pi.hProcess);
  });
  if (!child) {
    Fail("no child window of class \"OpenGL\" in the host");
  } else {
    char title[64] = "";
    GetWindowTextA(child, title, sizeof title);
    if (std::strcmp(title, "SaverWindow") != 0) std::printf("FAIL: child titled \"%s\"\n", title), ++failures;
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & (WS_CHILD | WS_VISIBLE)) != (WS_CHILD | WS_VISIBLE) || (style & WS_POPUP))
      std::printf("FAIL: child style 0x%08lx is not WS_CHILD | WS_VISIBLE\n", static_cast<unsigned long>(style)),
          ++failures;
    if (GetParent(child) != host) Fail("the child's parent is not the host");
    RECT h{}, c{};
    GetWindowRect(host, &h);
    GetWindowRect(child, &c);
    if (c.left != h.left || c.top != h.top || c.right - c.left != width || c.bottom - c.top != height)
      std::printf("FAIL: child at (%ld,%ld) %ldx%ld, host at (%ld,%ld) %dx%d\n", c.left, c.top, c.right - c.left,
                  c.bottom - c.top, h.left, h.top, width, height),
          ++failures;
    DWORD owner = 0;
    GetWindowThreadProcessId(child, &owner);
    if (owner != pi.dwProcessId) Fail("the child belongs to another process");

    // A preview watches nothing: input that would end the full-screen saver.
    PostMessageA(child, WM_KEYDOWN, 'A', 0x001E0001);
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(child, WM_MOUSEMOVE, 0, MAKELPARAM(width - 1, height - 1));
    PumpUntil(1500, pi.hProcess, [&] { return Exited(pi.hProcess); });
    if (Exited(pi.hProcess)) Fail("the preview ended while its host lived");
  }

  DestroyWindow(host);
  PumpUntil(15000, pi.hProcess, [&] { return Exited(pi.hProcess); });
  if (!Exited(pi.hProcess)) {
    Fail("the saver still runs 15 s after its host window went");
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  } else {
    DWORD status = 1;
    GetExitCodeProcess(pi.hProcess, &status);
    if (status != 0) std::printf("FAIL: the saver ended with status %lu\n", status), ++failures;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (failures == 0) std::printf("preview: child \"OpenGL\" %dx%d, ended with its host\n", width, height);
  return failures == 0 ? 0 : 1;
}
