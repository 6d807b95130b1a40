#pragma once
// Inside the GTK module: the pieces its entry point hands to the program.
#include <string>

#include "platform/gtk/gtk_module.h"

namespace platform {
namespace gtk_module {

// Through the program's error sink.
void ReportError(const std::string& layer, const std::string& cause);

intptr_t RunDialog(const char* description, size_t size, WindowHandle owner, DialogProc proc, LParam param);
BOOL CheckDlgButton(DialogHandle dialog, int id, unsigned check);
unsigned IsDlgButtonChecked(DialogHandle dialog, int id);
BOOL EndDialog(DialogHandle dialog, intptr_t result);
BOOL SetItemText(DialogHandle dialog, int id, const char* text);
unsigned GetItemText(DialogHandle dialog, int id, char* buffer, int size);
void BrowseForFolder(DialogHandle dialog, const char* start, char* buffer, int size);
WindowHandle GetForegroundWindow();
bool ShowMessageBox(const char* text, const char* caption);

}  // namespace gtk_module
}  // namespace platform
