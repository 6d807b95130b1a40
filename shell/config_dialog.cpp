#include "shell/config_dialog.h"

#include <string>

#include "platform/message_box.h"
#include "shell/run_mode.h"
#include "shell/saver_settings.h"

namespace hl {
namespace {

// Whether the dialog shown has the folder field: the Windows program's dialog
// is the designed one, without it. OK stores a folder only from a field the
// user saw, so a folder stored before is never lost to a missing field.
bool folderFieldShown = false;

std::string FolderField(platform::DialogHandle dialog) {
  char folder[4096];
  platform::GetDlgItemTextA(dialog, kPictureFolderControl, folder, sizeof folder);
  return folder;
}

}  // namespace

platform::BOOL ConfigDialogProc(platform::DialogHandle dialog, uint32_t message, platform::WParam wParam,
                                platform::LParam) {
  switch (message) {
    case platform::WM_INITDIALOG:
      // The stored value as it is: any non-zero value shows as checked.
      platform::CheckDlgButton(dialog, kUseMirrorsControl, settings->useMirrors);
      folderFieldShown = platform::SetDlgItemTextA(dialog, kPictureFolderControl, settings->pictureFolder.c_str()) != 0;
      return 1;  // TRUE: the dialog manager gives the first tab stop the focus
    case platform::WM_COMMAND:
      switch (platform::LOWORD(wParam)) {
        case platform::IDOK: {
          SaverSettings chosen = *settings;
          chosen.useMirrors =
              platform::IsDlgButtonChecked(dialog, kUseMirrorsControl) == platform::BST_CHECKED ? 1 : 0;
          if (folderFieldShown) chosen.pictureFolder = FolderField(dialog);
          const platform::LONG status = SaveOwnSettings(chosen);
          if (status != platform::ERROR_SUCCESS) {
            // The file is as it was; the dialog stays, to try again or cancel.
            platform::MessageBox(SaveFailureText(status), "Error");
            break;
          }
          *settings = chosen;
          platform::EndDialog(dialog, platform::IDOK);
          break;
        }
        case platform::IDCANCEL:
          platform::EndDialog(dialog, platform::IDCANCEL);
          break;
        case kBrowseControl: {
          const std::string chosen = platform::BrowseForFolder(dialog, FolderField(dialog));
          if (!chosen.empty()) platform::SetDlgItemTextA(dialog, kPictureFolderControl, chosen.c_str());
          break;
        }
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace hl
