// The GTK module's one exported symbol: the table of its calls.
#include "platform/gtk/gtk_module_parts.h"

namespace platform {
namespace gtk_module {
namespace {
const GtkModuleHost* host = nullptr;
}  // namespace

void ReportError(const std::string& layer, const std::string& cause) {
  if (host && host->reportError) host->reportError(layer.c_str(), cause.c_str());
}

}  // namespace gtk_module
}  // namespace platform

extern "C" __attribute__((visibility("default"))) const platform::GtkModuleCalls* HarborLightsGtkModule(
    const platform::GtkModuleHost* host) {
  using namespace platform::gtk_module;
  static const platform::GtkModuleCalls calls = {
      platform::kGtkModuleVersion, RunDialog,   CheckDlgButton,  IsDlgButtonChecked, EndDialog, SetItemText,
      GetItemText,                 BrowseForFolder, GetForegroundWindow, ShowMessageBox,
  };
  platform::gtk_module::host = host;
  return &calls;
}
