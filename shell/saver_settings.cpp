#include "shell/saver_settings.h"

#include <cstring>

#include "platform/registry.h"

namespace hl {
namespace {

// A 4-byte query: whatever the value's type, a value of at most four bytes
// becomes the field (zero-filled when shorter); anything else keeps the default.
template <typename T>
void QueryFourBytes(platform::HKEY key, const char* name, T* field) {
  static_assert(sizeof(T) == 4, "the registry values are 32-bit");
  platform::BYTE buffer[4];
  platform::DWORD size = sizeof buffer;
  if (platform::RegQueryValueExA(key, name, nullptr, nullptr, buffer, &size) == platform::ERROR_SUCCESS) {
    std::memcpy(field, buffer, sizeof buffer);
  }
}

}  // namespace

void LoadSystemSaverSettings(SaverSettings& settings) {
  settings.passwordDelay = 15;
  settings.mouseThreshold = 50;
  settings.checkingPassword = 0;
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, kSystemSaverKey, 0, platform::KEY_ALL_ACCESS, &key) !=
      platform::ERROR_SUCCESS) {
    return;
  }
  QueryFourBytes(key, "Password Delay", &settings.passwordDelay);
  QueryFourBytes(key, "Mouse Threshold", &settings.mouseThreshold);
  platform::RegCloseKey(key);
}

void LoadOwnSettings(SaverSettings& settings) {
  settings.useMirrors = 1;
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, kOwnKey, 0, platform::KEY_ALL_ACCESS, &key) !=
      platform::ERROR_SUCCESS) {
    return;
  }
  QueryFourBytes(key, "UseMirrors", &settings.useMirrors);
  platform::RegCloseKey(key);
}

void SaveOwnSettings(const SaverSettings& settings) {
  platform::HKEY key = nullptr;
  if (platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, kOwnKey, 0, nullptr, platform::REG_OPTION_NON_VOLATILE,
                                platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) != platform::ERROR_SUCCESS) {
    return;
  }
  platform::BYTE bytes[4];
  std::memcpy(bytes, &settings.useMirrors, sizeof bytes);
  platform::RegSetValueExA(key, "UseMirrors", 0, platform::REG_DWORD, bytes, sizeof bytes);
  platform::RegCloseKey(key);
}

}  // namespace hl
