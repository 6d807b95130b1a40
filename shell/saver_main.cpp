#include "shell/saver_main.h"

#include "platform/dialog.h"
#include "platform/password_services.h"
#include "scenes/user_pictures.h"
#include "shell/command_line.h"
#include "shell/config_dialog.h"
#include "shell/run_mode.h"
#include "shell/saver_settings.h"
#include "shell/saver_window.h"

namespace hl {

RunMode runMode = RunNone;
SaverSettings* settings = nullptr;

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i) line += ' ';
    const std::string& a = arguments[i];
    // A program path with a space would otherwise end at the space, and what
    // follows would be read as the switch.
    const bool quote = i == 0 && a.find(' ') != std::string::npos && a.find('"') == std::string::npos;
    line += quote ? '"' + a + '"' : a;
  }
  return line;
}

void ChangeSaverPassword(platform::WindowHandle parent) { platform::ChangeScreenSaverPassword(parent); }

void ApplySettingOverrides(const SettingOverrides& overrides, SaverSettings& settings) {
  if (overrides.mirrors != Choice::Unset) settings.useMirrors = overrides.mirrors == Choice::On ? 1 : 0;
  if (!overrides.pictureFolder.empty()) settings.pictureFolder = overrides.pictureFolder;
}

int SaverMain(const std::string& commandLine, int showCommand, const SettingOverrides& overrides) {
  const SaverCommandLine command = ParseSaverCommandLine(commandLine);
  runMode = command.mode;

  settings = new SaverSettings;
  LoadSystemSaverSettings(*settings);
  LoadOwnSettings(*settings);
  if (runMode == RunSaver || runMode == RunPreview) {
    ApplySettingOverrides(overrides, *settings);
    userPictureFolder = settings->pictureFolder;
  }

  int status = 0;
  switch (runMode) {
    case RunChangePassword:
      ChangeSaverPassword(command.parent);
      break;
    case RunConfig: {
      const platform::WindowHandle parent =
          command.foregroundParent ? platform::GetForegroundWindow() : command.parent;
      // The dialog's own result does not matter; only whether it could be shown.
      if (platform::DialogBoxParamA(nullptr, platform::MakeIntResource(kConfigDialog), parent, ConfigDialogProc,
                                    0) == -1) {
        status = 1;
      }
      break;
    }
    case RunSaver:
    case RunPreview:
      if (!RunSaverWindow(command.parent, showCommand)) status = 1;
      break;
    case RunNone:
      break;
  }

  delete settings;
  settings = nullptr;
  return status;
}

}  // namespace hl
