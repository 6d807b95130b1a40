#pragma once
// The one record the shell shares: the system's screen-saver values, the
// program's own options, and the state the saver window keeps while it runs.
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/window_types.h"

namespace hl {

struct SaverSettings {
  platform::WindowHandle window = platform::kNoWindow;
  uint32_t passwordDelay = 15;  // seconds
  int32_t mouseThreshold = 50;  // pixels
  platform::ScreenPoint cursorRef;
  uint32_t startTick = 0;  // milliseconds
  int checkingPassword = 0;
  int closeRequested = 0;
  uint32_t useMirrors = 1;
  // The folder of the user's own pictures ("PictureFolder"); empty: the
  // embedded pictures.
  std::string pictureFolder;
};

// The registry key and values, as the system and this program name them.
constexpr const char* kSystemSaverKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
constexpr const char* kOwnKey = "Software\\Qz\\Harbor Lights";

void LoadSystemSaverSettings(SaverSettings& settings);
void LoadOwnSettings(SaverSettings& settings);
// Stores "UseMirrors" and "PictureFolder" in one change of the registry;
// ERROR_SUCCESS, or the registry's error (the file is then as it was).
platform::LONG SaveOwnSettings(const SaverSettings& settings);
// What a failed save tells the user, from the registry's error.
std::string SaveFailureText(platform::LONG status);

}  // namespace hl
