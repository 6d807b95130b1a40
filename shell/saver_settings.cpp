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

constexpr const char* kPictureFolderValue = "PictureFolder";
constexpr platform::DWORD kMaxPathBytes = 4096;

// A string value: the bytes up to the first NUL, when the value fits.
bool QueryString(platform::HKEY key, const char* name, std::string* text) {
  std::string buffer(kMaxPathBytes, '\0');
  platform::DWORD size = kMaxPathBytes;
  if (platform::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<platform::BYTE*>(buffer.data()),
                                 &size) != platform::ERROR_SUCCESS) {
    return false;
  }
  buffer.resize(size);
  *text = buffer.substr(0, buffer.find('\0'));
  return true;
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
  settings.pictureFolder.clear();
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, kOwnKey, 0, platform::KEY_ALL_ACCESS, &key) !=
      platform::ERROR_SUCCESS) {
    return;
  }
  QueryFourBytes(key, "UseMirrors", &settings.useMirrors);
  QueryString(key, kPictureFolderValue, &settings.pictureFolder);
  platform::RegCloseKey(key);
}

platform::LONG SaveOwnSettings(const SaverSettings& settings) {
  platform::HKEY key = nullptr;
  const platform::LONG created =
      platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, kOwnKey, 0, nullptr, platform::REG_OPTION_NON_VOLATILE,
                                platform::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (created != platform::ERROR_SUCCESS) return created;
  platform::BYTE bytes[4];
  std::memcpy(bytes, &settings.useMirrors, sizeof bytes);
  platform::LONG result = platform::RegSetValueExA(key, "UseMirrors", 0, platform::REG_DWORD, bytes, sizeof bytes);
  // Written only when there is a folder to keep or one to forget, so the file
  // of a user who never chose one holds just the designed value.
  std::string stored;
  if (result == platform::ERROR_SUCCESS &&
      (!settings.pictureFolder.empty() || QueryString(key, kPictureFolderValue, &stored))) {
    const std::string& folder = settings.pictureFolder;
    result = platform::RegSetValueExA(key, kPictureFolderValue, 0, platform::REG_SZ,
                                      reinterpret_cast<const platform::BYTE*>(folder.c_str()),
                                      static_cast<platform::DWORD>(folder.size() + 1));
  }
  // Both values reach the file together when the key closes.
  const platform::LONG closed = platform::RegCloseKey(key);
  return result != platform::ERROR_SUCCESS ? result : closed;
}

std::string SaveFailureText(platform::LONG status) {
  std::string cause;
  switch (status) {
    case platform::ERROR_INVALID_DATA:
      cause = "the settings file cannot be read as a REGEDIT4 file; it was left as it is.";
      break;
    case platform::ERROR_ACCESS_DENIED:
      cause = "permission denied: the settings file or its folder is read-only.";
      break;
    case platform::ERROR_DISK_FULL:
      cause = "there is not enough space on the disk.";
      break;
    case platform::ERROR_WRITE_PROTECT:
      cause = "the disk is read-only.";
      break;
    case platform::ERROR_PATH_NOT_FOUND:
    case platform::ERROR_FILE_NOT_FOUND:
      cause = "there is no home folder to keep them in.";
      break;
    case platform::ERROR_CANT_ACCESS_FILE:
      cause = "the settings file or its folder is a symbolic link, which a save does not follow.";
      break;
    default:
      cause = "the settings file could not be written (error " + std::to_string(status) + ").";
      break;
  }
  return "The settings were not saved: " + cause;
}

}  // namespace hl
