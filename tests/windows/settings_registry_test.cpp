// The settings store on the real registry (Wine's, in the test session's own
// prefix): what loads from which values, and what a save leaves behind. Each
// case starts from a registry without the saver's keys and removes them again.
//
// The store's header (and the platform's registry names it uses) comes before
// <windows.h>, whose macros would otherwise rename them.
#include "shell/saver_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace hl {
namespace {

void RemoveKeys() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kOwnKey);
  RegDeleteTreeA(HKEY_CURRENT_USER, kSystemSaverKey);
}

void SetValue(const char* key, const char* name, DWORD type, const std::vector<uint8_t>& bytes) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(k, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
  RegCloseKey(k);
}

std::vector<uint8_t> Dword(uint32_t v) {
  std::vector<uint8_t> b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}

std::vector<uint8_t> Text(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s) + 1); }

class SettingsRegistry : public ::testing::Test {
 protected:
  void SetUp() override { RemoveKeys(); }
  void TearDown() override { RemoveKeys(); }
};

struct LoadCase {
  const char* what;
  const char* key;  // nullptr: no value is set
  const char* name;
  DWORD type;
  std::vector<uint8_t> bytes;
  uint32_t passwordDelay;
  int32_t mouseThreshold;
  uint32_t useMirrors;
};

TEST_F(SettingsRegistry, LoadsEachValueWhateverItsTypeWhenItFitsFourBytes) {
  const LoadCase cases[] = {
      {"no keys at all: the defaults", nullptr, nullptr, 0, {}, 15, 50, 1},
      {"Password Delay as a DWORD", kSystemSaverKey, "Password Delay", REG_DWORD, Dword(300), 300, 50, 1},
      {"Mouse Threshold as a DWORD", kSystemSaverKey, "Mouse Threshold", REG_DWORD, Dword(7), 15, 7, 1},
      {"a negative threshold stays signed", kSystemSaverKey, "Mouse Threshold", REG_DWORD, Dword(0xFFFFFFFFu), 15,
       -1, 1},
      {"Mouse Threshold as four binary bytes", kSystemSaverKey, "Mouse Threshold", REG_BINARY, {0x10, 0x01, 0, 0},
       15, 272, 1},
      {"a three-letter string is four bytes", kSystemSaverKey, "Mouse Threshold", REG_SZ, Text("200"), 15,
       0x00303032, 1},
      {"a longer string does not fit: default", kSystemSaverKey, "Mouse Threshold", REG_SZ, Text("2000"), 15, 50, 1},
      {"eight bytes do not fit: default", kSystemSaverKey, "Password Delay", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 15,
       50, 1},
      {"two bytes fill the low bytes, the rest zero", kSystemSaverKey, "Password Delay", REG_BINARY, {0x34, 0x12},
       0x1234, 50, 1},
      {"UseMirrors 0", kOwnKey, "UseMirrors", REG_DWORD, Dword(0), 15, 50, 0},
      {"UseMirrors kept as stored", kOwnKey, "UseMirrors", REG_DWORD, Dword(5), 15, 50, 5},
      {"UseMirrors under another name is not read", kOwnKey, "Use Mirrors", REG_DWORD, Dword(0), 15, 50, 1},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveKeys();
    if (c.key) SetValue(c.key, c.name, c.type, c.bytes);
    SaverSettings s;
    s.passwordDelay = 1;
    s.mouseThreshold = 2;
    s.useMirrors = 3;
    s.checkingPassword = 1;
    LoadSystemSaverSettings(s);
    LoadOwnSettings(s);
    EXPECT_EQ(s.passwordDelay, c.passwordDelay);
    EXPECT_EQ(s.mouseThreshold, c.mouseThreshold);
    EXPECT_EQ(s.useMirrors, c.useMirrors);
    EXPECT_EQ(s.checkingPassword, 0);
  }
}

TEST_F(SettingsRegistry, SaveCreatesTheKeyWithADwordThatLoadReadsBack) {
  for (uint32_t value : {0u, 1u}) {
    SCOPED_TRACE(value);
    RemoveKeys();
    SaverSettings saved;
    saved.useMirrors = value;
    SaveOwnSettings(saved);

    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOwnKey, 0, KEY_READ, &k), ERROR_SUCCESS) << "the key was not made";
    DWORD type = 0, data = 99, size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(k, "UseMirrors", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data, value);

    SaverSettings loaded;
    loaded.useMirrors = 7;
    LoadOwnSettings(loaded);
    EXPECT_EQ(loaded.useMirrors, value);
  }
}

TEST_F(SettingsRegistry, SaveKeepsTheKeysOtherValuesAndTouchesNoSystemValue) {
  SetValue(kOwnKey, "Note", REG_SZ, Text("kept"));
  SetValue(kSystemSaverKey, "Mouse Threshold", REG_DWORD, Dword(9));
  SaverSettings s;
  s.useMirrors = 0;
  s.mouseThreshold = 123;
  s.passwordDelay = 456;
  SaveOwnSettings(s);

  char note[64] = "";
  DWORD size = sizeof note;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kOwnKey, "Note", RRF_RT_REG_SZ, nullptr, note, &size), ERROR_SUCCESS);
  EXPECT_STREQ(note, "kept");
  DWORD threshold = 0;
  size = sizeof threshold;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kSystemSaverKey, "Mouse Threshold", RRF_RT_REG_DWORD, nullptr,
                         &threshold, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(threshold, 9u);
  EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, kSystemSaverKey, "Password Delay", RRF_RT_ANY, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "a save wrote a system value";
}

TEST_F(SettingsRegistry, AStoredPictureFolderSurvivesALoadAndASave) {
  SetValue(kOwnKey, "PictureFolder", REG_SZ, Text("C:\\pictures"));
  SaverSettings s;
  LoadOwnSettings(s);
  EXPECT_EQ(s.pictureFolder, "C:\\pictures");
  s.useMirrors = 0;
  SaveOwnSettings(s);
  char folder[64] = "";
  DWORD size = sizeof folder;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kOwnKey, "PictureFolder", RRF_RT_REG_SZ, nullptr, folder, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(folder, "C:\\pictures");
}

}  // namespace
}  // namespace hl
