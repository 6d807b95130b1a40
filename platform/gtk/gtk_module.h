#pragma once
// The calls between the program and its GTK module (harbor-lights-gtk.so),
// which is loaded only when a dialog or a message box is needed: most runs of
// the saver never pay for GTK. No GTK header here.
#include <cstddef>

#include "platform/dialog.h"

namespace platform {

constexpr int kGtkModuleVersion = 2;
constexpr const char* kGtkModuleEntry = "HarborLightsGtkModule";
constexpr const char* kGtkModuleFile = "harbor-lights-gtk.so";

// What the program lends the module.
struct GtkModuleHost {
  void (*reportError)(const char* layer, const char* cause);
};

// What the module offers; `version` is kGtkModuleVersion.
struct GtkModuleCalls {
  int version;
  // Runs the dialog that the GtkBuilder `description` describes, like
  // DialogBoxParamA; -1 when it cannot be shown (the cause reported).
  intptr_t (*runDialog)(const char* description, size_t size, WindowHandle owner, DialogProc proc, LParam param);
  BOOL (*checkDlgButton)(DialogHandle dialog, int id, unsigned check);
  unsigned (*isDlgButtonChecked)(DialogHandle dialog, int id);
  BOOL (*endDialog)(DialogHandle dialog, intptr_t result);
  BOOL (*setItemText)(DialogHandle dialog, int id, const char* text);
  unsigned (*getItemText)(DialogHandle dialog, int id, char* buffer, int size);
  // Writes the chosen folder (NUL-terminated, "" when cancelled) to `buffer`.
  void (*browseForFolder)(DialogHandle dialog, const char* start, char* buffer, int size);
  WindowHandle (*getForegroundWindow)();
  // Shows a modal box with an OK button; false when there is no display.
  bool (*showMessageBox)(const char* text, const char* caption);
};

using GtkModuleEntry = const GtkModuleCalls* (*)(const GtkModuleHost* host);

}  // namespace platform
