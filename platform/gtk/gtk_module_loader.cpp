// The program's side of the dialogs and message boxes: finds the dialog's
// description among the resources and hands the work to the GTK module,
// loaded the first time it is needed.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/error_sink.h"
#include "platform/gtk/gtk_module.h"
#include "platform/libraries.h"
#include "platform/message_box.h"

namespace platform {
namespace {

void ReportFromModule(const char* layer, const char* cause) { ReportError(layer, cause); }

// Where the module may come from. A program running from the folder it was
// installed to loads only the installed module; one that runs elsewhere (the
// build tree, a copy) loads the module beside itself, then the installed one.
// No path into the build tree is compiled in: a file planted there must never
// run in an installed saver.
std::vector<std::string> ModuleCandidates(const std::string& programDirectory) {
  if (programDirectory == HL_PROGRAM_INSTALL_DIR) return {HL_GTK_MODULE_INSTALL_PATH};
  return {programDirectory + "/" + kGtkModuleFile, HL_GTK_MODULE_INSTALL_PATH};
}

const GtkModuleCalls* LoadModule() {
  static const GtkModuleCalls* calls = nullptr;
  static bool tried = false;
  if (tried) return calls;
  tried = true;
  static const GtkModuleHost host = {ReportFromModule};
  const std::vector<std::string> candidates = ModuleCandidates(ProgramDirectory());
  std::string why = "not found";
  for (const std::string& path : candidates) {
    std::string error;
    LibraryHandle library = LoadLibraryA(path.c_str(), &error);
    if (!library) {
      if (error.find("No such file") == std::string::npos) why = error;
      continue;
    }
    auto entry = reinterpret_cast<GtkModuleEntry>(GetProcAddress(library, kGtkModuleEntry));
    const GtkModuleCalls* offered = entry ? entry(&host) : nullptr;
    if (offered && offered->version == kGtkModuleVersion) {
      calls = offered;
      return calls;
    }
    why = path + " is not this program's GTK module";
  }
  ReportError("GTK", std::string("cannot load ") + kGtkModuleFile + ": " + why);
  return nullptr;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

intptr_t DialogBoxParamA(ModuleHandle module, const char* name, WindowHandle owner, DialogProc proc, LParam param) {
  const ResourceBytes description = module ? ResourceBytes{} : FindResourceBytes(name, RT_DIALOG);
  if (!description.data || !proc) {
    ReportError("dialog", "no such dialog resource");
    return -1;
  }
  const GtkModuleCalls* gtk = LoadModule();
  if (!gtk) return -1;
  return gtk->runDialog(reinterpret_cast<const char*>(description.data), description.size, owner, proc, param);
}

// The calls below are made by dialog procedures, so the module is loaded.
BOOL CheckDlgButton(DialogHandle dialog, int id, unsigned check) {
  const GtkModuleCalls* gtk = LoadModule();
  return gtk ? gtk->checkDlgButton(dialog, id, check) : 0;
}

unsigned IsDlgButtonChecked(DialogHandle dialog, int id) {
  const GtkModuleCalls* gtk = LoadModule();
  return gtk ? gtk->isDlgButtonChecked(dialog, id) : BST_UNCHECKED;
}

BOOL EndDialog(DialogHandle dialog, intptr_t result) {
  const GtkModuleCalls* gtk = LoadModule();
  return gtk ? gtk->endDialog(dialog, result) : 0;
}

BOOL SetDlgItemTextA(DialogHandle dialog, int id, const char* text) {
  const GtkModuleCalls* gtk = LoadModule();
  return gtk ? gtk->setItemText(dialog, id, text ? text : "") : 0;
}

unsigned GetDlgItemTextA(DialogHandle dialog, int id, char* buffer, int size) {
  const GtkModuleCalls* gtk = LoadModule();
  if (!gtk || !buffer || size <= 0) return 0;
  return gtk->getItemText(dialog, id, buffer, size);
}

std::string BrowseForFolder(DialogHandle dialog, const std::string& start) {
  const GtkModuleCalls* gtk = LoadModule();
  if (!gtk) return "";
  std::string chosen(4096, '\0');
  gtk->browseForFolder(dialog, start.c_str(), chosen.data(), static_cast<int>(chosen.size()));
  return chosen.substr(0, chosen.find('\0'));
}

WindowHandle GetForegroundWindow() {
  const GtkModuleCalls* gtk = LoadModule();
  return gtk ? gtk->getForegroundWindow() : kNoWindow;
}

void MessageBox(const std::string& text, const std::string& caption) {
  if (Handler()) {
    Handler()(text, caption);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (const GtkModuleCalls* gtk = LoadModule()) gtk->showMessageBox(text.c_str(), caption.c_str());
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
