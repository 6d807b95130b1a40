#pragma once
// The configuration dialog (dialog 104): the "Use Mirrors" check box, the
// folder of the user's own pictures with its Browse button, OK and Cancel.
// OK stores both; Cancel leaves everything as it was.
#include "platform/dialog.h"

namespace hl {

constexpr unsigned kConfigDialog = 104;     // the dialog resource
constexpr int kUseMirrorsControl = 1001;     // the check box
constexpr int kPictureFolderControl = 1002;  // the folder of the user's own pictures
constexpr int kBrowseControl = 1003;         // "Browse…", beside it

platform::BOOL ConfigDialogProc(platform::DialogHandle dialog, uint32_t message, platform::WParam wParam,
                                platform::LParam lParam);

}  // namespace hl
