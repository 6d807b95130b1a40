// Finds the saver's configuration dialog, reports what it shows and answers
// it the way a user would, through window messages only (no X input needed).
//
//   hl_dialog_inspector layout SCR  checks the dialog and its controls against
//                                   the template: order, ids, classes, styles,
//                                   texts, and where they sit (template units
//                                   through MapDialogRect), then cancels
//   hl_dialog_inspector ACTION      ok, toggle-ok, cancel, escape, close
//
// MapDialogRect reads a dialog's own base units, which only the dialog's
// process can: the layout check maps the template's units on a hidden copy
// of the dialog made here from SCR's dialog 104, with the same font.
//
// Every mode first prints "checked=0" or "checked=1": the state the option
// shows when the dialog opens. escape and close flip the option before they
// answer, so a save they should not make would store a changed value.
// Prints one line per failed check; exits 0 when all hold.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/windows/probe_checks.h"

namespace {

using probe::Fail;
using probe::failures;

struct Control {
  int id;  // as the template stores it: a 16-bit word
  const char* cls;
  DWORD kind;  // the button or static type bits
  DWORD styles;  // further style bits that must be set
  RECT units;  // x, y, width, height in dialog units
  const char* text;  // nullptr: the credit lines, whose texts are ours to choose
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const Control kControls[] = {
    {IDOK, "Button", BS_DEFPUSHBUTTON, WS_TABSTOP, {172, 4, 50, 14}, "OK"},
    {IDCANCEL, "Button", BS_PUSHBUTTON, WS_TABSTOP, {172, 23, 50, 14}, "Cancel"},
    {0xFFFF, "Static", SS_LEFT, WS_GROUP, {7, 78, 100, 8}, nullptr},
    {0xFFFF, "Static", SS_LEFT, WS_GROUP, {7, 55, 53, 8}, nullptr},
    {0xFFFF, "Static", SS_LEFT, WS_GROUP, {7, 63, 49, 8}, nullptr},
    {1001, "Button", BS_AUTOCHECKBOX, WS_TABSTOP, {9, 14, 52, 10}, "Use Mirrors"},
    {0xFFFF, "Static", SS_LEFT, WS_GROUP, {7, 34, 36, 8}, "Version 1.0"},
};

HWND WaitForDialog(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND dialog = FindWindowA(MAKEINTATOM(0x8002), "Config dialog");  // the standard dialog class, #32770
    if (dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, IDOK)) return dialog;
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(50);
  }
}

bool WaitGone(HWND dialog, DWORD ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(dialog)) {
    if (GetTickCount() - start >= ms) return false;
    Sleep(50);
  }
  return true;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A hidden copy of dialog 104 from the program file, for its base units.
HWND LocalCopy(const char* program) {
  HMODULE module = LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(104), MAKEINTRESOURCEA(5)) : nullptr;
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return nullptr;
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), static_cast<const DLGTEMPLATE*>(bytes), nullptr,
                                    QuietDialogProc, 0);
}

void CheckLayout(HWND dialog, HWND units) {
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  const DWORD want = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  if ((style & want) != want)
    std::printf("FAIL: dialog style 0x%08lx lacks 0x%08lx\n", static_cast<unsigned long>(style),
                static_cast<unsigned long>(want)),
        ++failures;
  if (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) Fail("the dialog is a tool window");

  RECT size{0, 0, 228, 102};
  MapDialogRect(units, &size);
  RECT client{};
  GetClientRect(dialog, &client);
  if (client.right != size.right || client.bottom != size.bottom)
    std::printf("FAIL: dialog client %ldx%ld, template 228x102 maps to %ldx%ld\n", client.right, client.bottom,
                size.right, size.bottom),
        ++failures;

  // The controls in template order are the dialog's children in z-order.
  HWND child = GetWindow(dialog, GW_CHILD);
  int index = 0;
  for (const Control& want_control : kControls) {
    ++index;
    if (!child) {
      std::printf("FAIL: control %d is missing\n", index), ++failures;
      return;
    }
    const int id = GetDlgCtrlID(child) & 0xFFFF;
    char cls[32] = "", text[128] = "";
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, text, sizeof text);
    const DWORD cstyle = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    const DWORD typeMask = std::strcmp(want_control.cls, "Button") == 0 ? BS_TYPEMASK : SS_TYPEMASK;
    RECT at{};
    GetWindowRect(child, &at);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&at), 2);
    // The dialog manager maps the position and the size each on its own.
    RECT mapped = want_control.units;
    MapDialogRect(units, &mapped);
    const RECT expected{mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};

    if (id != want_control.id) std::printf("FAIL: control %d has id %d, not %d\n", index, id, want_control.id), ++failures;
    if (_stricmp(cls, want_control.cls) != 0)
      std::printf("FAIL: control %d is a %s, not a %s\n", index, cls, want_control.cls), ++failures;
    if ((cstyle & typeMask) != want_control.kind || (cstyle & (kChild | want_control.styles)) != (kChild | want_control.styles))
      std::printf("FAIL: control %d style 0x%08lx\n", index, static_cast<unsigned long>(cstyle)), ++failures;
    if (want_control.text ? std::strcmp(text, want_control.text) != 0 : text[0] == '\0')
      std::printf("FAIL: control %d reads \"%s\"\n", index, text), ++failures;
    if (std::memcmp(&at, &expected, sizeof at) != 0)
      std::printf("FAIL: control %d at (%ld,%ld)-(%ld,%ld), template maps to (%ld,%ld)-(%ld,%ld)\n", index, at.left,
                  at.top, at.right, at.bottom, expected.left, expected.top, expected.right, expected.bottom),
          ++failures;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  if (child) Fail("the dialog has more than seven controls");

  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus != GetDlgItem(dialog, IDOK))
    Fail("the OK button does not have the focus");
}

void Click(HWND button) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

}  // namespace

int main(int argc, char** argv) {
  const char* action = argc >= 2 ? argv[1] : "";
  const char* actions[] = {"layout", "ok", "toggle-ok", "cancel", "escape", "close"};
  bool known = false;
  for (const char* a : actions) known = known || std::strcmp(a, action) == 0;
  const bool layout = std::strcmp(action, "layout") == 0;
  if (!known || argc != (layout ? 3 : 2)) {
    std::fprintf(stderr, "usage: hl_dialog_inspector layout SCR | ok|toggle-ok|cancel|escape|close\n");
    return 2;
  }

  HWND dialog = WaitForDialog(30000);
  if (!dialog) {
    Fail("no dialog \"Config dialog\" within 30 s");
    return 1;
  }
  // Made only now, so the search above cannot find this hidden copy.
  HWND units = nullptr;
  if (layout && !(units = LocalCopy(argv[2]))) {
    std::printf("FAIL: cannot make dialog 104 of %s here\n", argv[2]);
    return 1;
  }
  HWND option = GetDlgItem(dialog, 1001);
  const LRESULT shown = SendMessageA(option, BM_GETCHECK, 0, 0);
  std::printf("checked=%d\n", shown == BST_CHECKED ? 1 : 0);
  std::fflush(stdout);

  if (layout) {
    CheckLayout(dialog, units);
    DestroyWindow(units);
    Click(GetDlgItem(dialog, IDCANCEL));
  } else if (std::strcmp(action, "ok") == 0) {
    Click(GetDlgItem(dialog, IDOK));
  } else if (std::strcmp(action, "cancel") == 0) {
    Click(GetDlgItem(dialog, IDCANCEL));
  } else {
    Click(option);
    if (SendMessageA(option, BM_GETCHECK, 0, 0) == shown) Fail("a click did not flip the option");
    if (std::strcmp(action, "toggle-ok") == 0) {
      Click(GetDlgItem(dialog, IDOK));
    } else if (std::strcmp(action, "escape") == 0) {
      // Escape where the dialog's keyboard focus is, as the keyboard delivers it.
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
      HWND focus = info.hwndFocus ? info.hwndFocus : dialog;
      PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageA(focus, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
    } else {
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    }
  }
  if (!WaitGone(dialog, 10000)) Fail("the dialog is still open 10 s after its answer");
  return failures == 0 ? 0 : 1;
}
