// Modal dialogs from the program's dialog resources, run by the system's
// dialog manager. The shell's dialog procedure is called through
// DialogProcedure with the dialog's own handle.
#include "platform/win32/system.h"

namespace platform {
namespace {

using win32::Hwnd;

HWND System(DialogHandle dialog) { return reinterpret_cast<HWND>(dialog); }
DialogHandle Ours(HWND dialog) { return reinterpret_cast<DialogHandle>(dialog); }

struct DialogCall {
  DialogProc procedure;
  LParam parameter;
};

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* call = reinterpret_cast<DialogCall*>(lParam);
    ::SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(call));
    return call->procedure(Ours(dialog), message, wParam, call->parameter);
  }
  auto* call = reinterpret_cast<DialogCall*>(::GetWindowLongPtrA(dialog, DWLP_USER));
  return call ? call->procedure(Ours(dialog), message, wParam, lParam) : FALSE;
}

std::string ResourceName(const char* name) {
  if (IS_INTRESOURCE(name)) return std::to_string(reinterpret_cast<uintptr_t>(name));
  return name;
}

}  // namespace

intptr_t DialogBoxParamA(ModuleHandle module, const char* name, WindowHandle owner, DialogProc proc,
                         LParam param) {
  if (module != nullptr) return -1;
  // A number that names no window leaves the dialog without an owner rather
  // than without a dialog.
  HWND ownerWindow = owner != kNoWindow && ::IsWindow(Hwnd(owner)) ? Hwnd(owner) : nullptr;
  DialogCall call{proc, param};
  const INT_PTR result =
      ::DialogBoxParamA(win32::Instance(), name, ownerWindow, DialogProcedure, reinterpret_cast<LPARAM>(&call));
  if (result == -1) {
    ReportError("dialog", "dialog " + ResourceName(name) + " could not be shown, error " +
                              std::to_string(::GetLastError()));
    return -1;
  }
  return result;
}

BOOL CheckDlgButton(DialogHandle dialog, int id, unsigned check) {
  // Any state but unchecked checks a two-state box, as on every platform.
  return ::CheckDlgButton(System(dialog), id, check == BST_UNCHECKED ? BST_UNCHECKED : BST_CHECKED);
}

unsigned IsDlgButtonChecked(DialogHandle dialog, int id) { return ::IsDlgButtonChecked(System(dialog), id); }

BOOL EndDialog(DialogHandle dialog, intptr_t result) { return ::EndDialog(System(dialog), result); }

BOOL SetDlgItemTextA(DialogHandle dialog, int id, const char* text) {
  return ::SetDlgItemTextA(System(dialog), id, text);
}

unsigned GetDlgItemTextA(DialogHandle dialog, int id, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';  // also when the dialog has no such control
  return ::GetDlgItemTextA(System(dialog), id, buffer, size);
}

// The designed dialog has no folder field, so nothing asks for a folder.
std::string BrowseForFolder(DialogHandle, const std::string&) { return {}; }

WindowHandle GetForegroundWindow() { return win32::Handle(::GetForegroundWindow()); }

}  // namespace platform
