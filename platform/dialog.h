#pragma once
// Modal dialogs from the program's dialog resources, driven by a dialog
// procedure the way the system's dialog manager drives one: WM_INITDIALOG
// before the dialog shows, WM_COMMAND with a control id for every button
// press. Enter presses the default button; Escape and the close box arrive as
// IDCANCEL. The dialog stays until the procedure calls EndDialog.
//
// A dialog resource is a GtkBuilder description (RT_DIALOG in the resource
// list) whose controls are named "control-N" for control id N; its positions
// and sizes are dialog units. No GTK header here: the backend is platform/gtk/.
#include <cstdint>
#include <string>

#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/window_types.h"

namespace platform {

struct DialogRecord;
using DialogHandle = DialogRecord*;
using BOOL = int;  // TRUE 1, FALSE 0 (not defined here: GLib defines them as macros)

// Dialog messages and the ids and states the dialog calls use.
constexpr uint32_t WM_INITDIALOG = 0x0110;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr uint16_t BN_CLICKED = 0;
constexpr unsigned BST_UNCHECKED = 0;
constexpr unsigned BST_CHECKED = 1;

using DialogProc = BOOL (*)(DialogHandle dialog, uint32_t message, WParam wParam, LParam lParam);

// Runs dialog `name` (a string or a MakeIntResource number) of the program's
// resources, transient for `owner` (none: kNoWindow, or a window that does not
// exist). Returns what the procedure gave EndDialog, or -1 when the dialog
// could not be shown (no display, no such resource); the cause has been
// reported through the error sink.
intptr_t DialogBoxParamA(ModuleHandle module, const char* name, WindowHandle owner, DialogProc proc, LParam param);

// On a check box: any state but BST_UNCHECKED checks it, as on a two-state box.
BOOL CheckDlgButton(DialogHandle dialog, int id, unsigned check);
unsigned IsDlgButtonChecked(DialogHandle dialog, int id);
BOOL EndDialog(DialogHandle dialog, intptr_t result);

// The text of an edit field (or a label or button); GetDlgItemTextA copies at
// most size - 1 bytes and a NUL, and returns the bytes copied.
BOOL SetDlgItemTextA(DialogHandle dialog, int id, const char* text);
unsigned GetDlgItemTextA(DialogHandle dialog, int id, char* buffer, int size);

// A modal folder chooser over the dialog, starting at `start`; the chosen
// folder, or "" when the user cancels.
std::string BrowseForFolder(DialogHandle dialog, const std::string& start);

// The window the user works in (the window manager's active window), or
// kNoWindow when there is none or no display.
WindowHandle GetForegroundWindow();

}  // namespace platform
