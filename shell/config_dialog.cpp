#include "shell/config_dialog.h"

#include "shell/run_mode.h"
#include "shell/saver_settings.h"

namespace hl {

platform::BOOL ConfigDialogProc(platform::DialogHandle dialog, uint32_t message, platform::WParam wParam,
                                platform::LParam) {
  switch (message) {
    case platform::WM_INITDIALOG:
      // The stored value as it is: any non-zero value shows as checked.
      platform::CheckDlgButton(dialog, kUseMirrorsControl, settings->useMirrors);
      return 1;  // TRUE: the dialog manager gives the first tab stop the focus
    case platform::WM_COMMAND:
      switch (platform::LOWORD(wParam)) {
        case platform::IDOK:
          settings->useMirrors =
              platform::IsDlgButtonChecked(dialog, kUseMirrorsControl) == platform::BST_CHECKED ? 1 : 0;
          SaveOwnSettings(*settings);
          platform::EndDialog(dialog, platform::IDOK);
          break;
        case platform::IDCANCEL:
          platform::EndDialog(dialog, platform::IDCANCEL);
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace hl
