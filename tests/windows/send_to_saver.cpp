// Finds the running full-screen saver and talks to it as another program
// would. Prints one line per failed check; exits 0 when all hold.
//
//   hl_send_to_saver wait     waits for the saver's window and checks that it is
//                             a visible pop-up covering the whole screen
//   hl_send_to_saver close    sends WM_CLOSE, SC_CLOSE and SC_SCREENSAVE, which
//                             a saver that did not ask to close ignores: the
//                             window stays and no second saver starts
//   hl_send_to_saver gone     waits for the saver's window to go
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/windows/probe_checks.h"

namespace {

using probe::Fail;
using probe::failures;

BOOL CALLBACK CountSavers(HWND window, LPARAM count) {
  char cls[32] = "", title[32] = "";
  GetClassNameA(window, cls, sizeof cls);
  GetWindowTextA(window, title, sizeof title);
  if (std::strcmp(cls, "OpenGL") == 0 && std::strcmp(title, "SaverWindow") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int SaverCount() {
  int count = 0;
  EnumWindows(CountSavers, reinterpret_cast<LPARAM>(&count));
  return count;
}

HWND WaitForSaver(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA("OpenGL", "SaverWindow");
    if (window || GetTickCount() - start >= ms) return window;
    Sleep(50);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* what = argc == 2 ? argv[1] : "";
  if (std::strcmp(what, "gone") == 0) {
    const DWORD start = GetTickCount();
    while (FindWindowA("OpenGL", "SaverWindow")) {
      if (GetTickCount() - start > 10000) {
        Fail("the saver's window is still there after 10 s");
        return 1;
      }
      Sleep(50);
    }
    return 0;
  }
  if (std::strcmp(what, "wait") != 0 && std::strcmp(what, "close") != 0) {
    std::fprintf(stderr, "usage: hl_send_to_saver wait|close|gone\n");
    return 2;
  }

  HWND saver = WaitForSaver(30000);
  if (!saver) {
    Fail("no window of class \"OpenGL\" titled \"SaverWindow\" within 30 s");
    return 1;
  }

  if (std::strcmp(what, "wait") == 0) {
    RECT r{};
    GetWindowRect(saver, &r);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    if (r.left != 0 || r.top != 0 || r.right != cx || r.bottom != cy)
      std::printf("FAIL: saver at (%ld,%ld)-(%ld,%ld), screen %dx%d\n", r.left, r.top, r.right, r.bottom, cx, cy),
          ++failures;
    const LONG style = GetWindowLongA(saver, GWL_STYLE);
    if ((style & (WS_POPUP | WS_VISIBLE)) != (WS_POPUP | WS_VISIBLE) || (style & WS_CHILD))
      std::printf("FAIL: saver style 0x%08lx is not WS_POPUP | WS_VISIBLE\n", static_cast<unsigned long>(style)),
          ++failures;
    if (failures == 0) std::printf("saver window %ldx%ld covers the screen\n", r.right, r.bottom);
    return failures == 0 ? 0 : 1;
  }

  // A close the saver did not request, and the system's own commands.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(saver, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result))
    Fail("the saver did not answer WM_CLOSE within 5 s");
  SendMessageTimeoutA(saver, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_ABORTIFHUNG, 5000, &result);
  SendMessageTimeoutA(saver, WM_SYSCOMMAND, SC_SCREENSAVE, 0, SMTO_ABORTIFHUNG, 5000, &result);
  PostMessageA(saver, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  Sleep(2000);
  if (!IsWindow(saver)) Fail("the saver's window went after a WM_CLOSE it did not ask for");
  const int count = SaverCount();
  if (count != 1) std::printf("FAIL: %d saver windows after SC_SCREENSAVE\n", count), ++failures;
  if (failures == 0) std::printf("WM_CLOSE, SC_CLOSE and SC_SCREENSAVE ignored; one saver runs\n");
  return failures == 0 ? 0 : 1;
}
