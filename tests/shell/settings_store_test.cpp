// The settings store over the registry file: what loads from which file, what
// a save leaves behind, and that nothing the file held is ever lost.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error_sink.h"
#include "platform/registry.h"
#include "platform/linux/registry_file.h"
#include "shell/saver_settings.h"
#include "tests/shell/settings_test_support.h"

namespace hl {
namespace {

using testing_support::TempConfigHome;
using namespace std::string_literals;

constexpr const char* kMissing = "\x01missing";  // no file at all

struct LoadCase {
  const char* what;
  std::string file;
  uint32_t passwordDelay;
  int32_t mouseThreshold;
  uint32_t useMirrors;
};

const LoadCase kLoadCases[] = {
    {"no file", kMissing, 15, 50, 1},
    {"empty file", "", 15, 50, 1},
    {"neither key", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"UseMirrors\"=dword:00000000\n", 15, 50, 1},
    {"keys without the values",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
     "\"Other\"=dword:00000001\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n",
     15, 50, 1},
    {"dwords",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
     "\"Password Delay\"=dword:0000001e\n\"Mouse Threshold\"=dword:ffffffff\n\n"
     "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n",
     30, -1, 0},
    {"a 2-byte string 5 reads as 0x35; a 4-byte abc fits; a 5-byte abcd does not",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
     "\"Password Delay\"=\"abcd\"\n\"Mouse Threshold\"=\"5\"\n\n"
     "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=\"abc\"\n",
     15, 0x35, 0x00636261},
    {"hex of 2 bytes is zero-filled; 4 bytes of any type fit; 5 bytes do not",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
     "\"Password Delay\"=hex:01,02\n\"Mouse Threshold\"=hex(7):01,02,03,04,05\n\n"
     "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=hex(0):00,00,00,00\n",
     0x0201, 50, 0},
    {"an empty value fills nothing and zeroes all four bytes",
     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=hex:\n", 15, 50, 0},
    {"names compare without case; CRLF lines; a hex list over two lines",
     "REGEDIT4\r\n\r\n[hkey_current_user\\SOFTWARE\\qz\\harbor lights]\r\n\"usemirrors\"=hex(4):07,\\\r\n  00,00,00\r\n",
     15, 50, 7},
    {"the last of two values wins, as on import",
     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000002\n"
     "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000003\n",
     15, 50, 3},
    {"values after an unreadable section header belong to no key",
     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n[broken\n\"UseMirrors\"=dword:00000000\n", 15, 50,
     1},
    {"another root is not the user's",
     "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n", 15, 50, 1},
    {"no REGEDIT4 line: not read at all",
     "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n", 15, 50, 1},
    {"binary", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:0\0\xff\n"s, 15,
     50, 1},
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.what; }

class LoadTable : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadTable, LoadsTheValuesOrTheDefaults) {
  const LoadCase& c = GetParam();
  TempConfigHome home;
  const std::string& file = c.file;
  if (file != kMissing) home.Write(file);
  SaverSettings settings;
  settings.passwordDelay = 999;
  settings.mouseThreshold = 999;
  settings.checkingPassword = 1;
  settings.useMirrors = 999;
  LoadSystemSaverSettings(settings);
  LoadOwnSettings(settings);
  EXPECT_EQ(settings.passwordDelay, c.passwordDelay) << c.what;
  EXPECT_EQ(settings.mouseThreshold, c.mouseThreshold) << c.what;
  EXPECT_EQ(settings.checkingPassword, 0) << c.what;
  EXPECT_EQ(settings.useMirrors, c.useMirrors) << c.what;
  if (file != kMissing) {
    EXPECT_EQ(home.Read(), file) << "loading never writes";
  }
  EXPECT_EQ(access(home.Folder().c_str(), F_OK) == 0, file != kMissing) << "loading creates nothing";
}

INSTANTIATE_TEST_SUITE_P(Store, LoadTable, testing::ValuesIn(kLoadCases));

struct SaveCase {
  const char* what;
  const char* before;
  uint32_t useMirrors;
  const char* after;  // nullptr: the file must stay as it was
};

const SaveCase kSaveCases[] = {
    {"no file: created with the key", kMissing, 1,
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000001\n"},
    {"other keys, comments and a broken line stay; the key is added at the end",
     "REGEDIT4\n; kept comment\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=\"x\"\nthis line means nothing\n"
     "\"B\"=dword:zz\n",
     0,
     "REGEDIT4\n; kept comment\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=\"x\"\nthis line means nothing\n"
     "\"B\"=dword:zz\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n"},
    {"the value is replaced where it stands, in the file's spelling of the key",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\software\\qz\\harbor lights]\n\"Before\"=hex:01\n"
     "\"UseMirrors\"=hex(4):01,\\\n  00,00,00\n; after\n\"After\"=\"y\"\n\n[HKEY_CURRENT_USER\\Next]\n",
     0,
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\software\\qz\\harbor lights]\n\"Before\"=hex:01\n"
     "\"UseMirrors\"=dword:00000000\n; after\n\"After\"=\"y\"\n\n[HKEY_CURRENT_USER\\Next]\n"},
    {"a new value goes after the key's last value, with the file's CRLF",
     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\r\n\"Other\"=dword:00000002\r\n\r\n"
     "; about the next key\r\n[HKEY_CURRENT_USER\\Next]\r\n",
     1,
     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\r\n\"Other\"=dword:00000002\r\n"
     "\"UseMirrors\"=dword:00000001\r\n\r\n; about the next key\r\n[HKEY_CURRENT_USER\\Next]\r\n"},
    {"an unterminated last line gets its line end",
     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"Other\"=\"z\"", 5,
     "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"Other\"=\"z\"\n\"UseMirrors\"=dword:00000005\n"},
    {"not a REGEDIT4 file: left alone", "my notes\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n", 0, nullptr},
    {"a text that only looks like one: left alone", "REGEDIT5\n", 0, nullptr},
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.what; }

class SaveTable : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveTable, SavesOnlyTheValueAndLoadsItBack) {
  const SaveCase& c = GetParam();
  TempConfigHome home;
  const bool missing = std::strcmp(c.before, kMissing) == 0;
  if (!missing) home.Write(c.before);
  SaverSettings settings;
  settings.useMirrors = c.useMirrors;
  SaveOwnSettings(settings);
  EXPECT_EQ(home.Read(), c.after ? c.after : c.before) << c.what;
  SaverSettings loaded;
  loaded.useMirrors = 999;
  LoadOwnSettings(loaded);
  EXPECT_EQ(loaded.useMirrors, c.after ? c.useMirrors : 1u) << c.what;
  if (missing) {
    struct stat st {};
    ASSERT_EQ(stat(home.Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(home.File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

INSTANTIATE_TEST_SUITE_P(Store, SaveTable, testing::ValuesIn(kSaveCases));

TEST(Store, AQueryZeroesTheRestOfTheBufferAndRefusesASmallOne) {
  TempConfigHome home;
  home.Write("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Two\"=hex:01,02\n\"Five\"=\"abcd\"\n");
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "K", 0, platform::KEY_ALL_ACCESS, &key),
            platform::ERROR_SUCCESS);
  uint8_t buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  platform::DWORD size = sizeof buffer, type = 99;
  EXPECT_EQ(platform::RegQueryValueExA(key, "Two", nullptr, &type, buffer, &size), platform::ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(type, platform::REG_BINARY);
  const uint8_t expected[8] = {1, 2, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(buffer, expected, 8), 0);

  std::memset(buffer, 0xAA, sizeof buffer);
  size = 4;
  EXPECT_EQ(platform::RegQueryValueExA(key, "Five", nullptr, &type, buffer, &size), platform::ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(buffer[0], 0xAA) << "a failed query leaves the buffer alone";
  EXPECT_EQ(platform::RegQueryValueExA(key, "Absent", nullptr, &type, buffer, &size), platform::ERROR_FILE_NOT_FOUND);
  platform::RegCloseKey(key);
  EXPECT_NE(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "K\\Missing", 0, platform::KEY_ALL_ACCESS, &key),
            platform::ERROR_SUCCESS);
}

// Values the format must spell carefully come back as they were set, through
// the file. (A name with '=' before a wrapped hex list was once lost.)
TEST(Store, AwkwardValuesComeBackAsTheyWereSet) {
  struct ValueCase {
    const char* what;
    std::string name;
    platform::DWORD type;
    std::string data;
  };
  const ValueCase cases[] = {
      {"quotes, backslashes and = in the name; a list that wraps", "a\\\"b\"=c", platform::REG_BINARY,
       std::string(100, '\x5c')},
      {"a string with a line break is kept as bytes", "text", platform::REG_SZ, "two\nlines\0"s},
      {"a string with quotes", "quoted", platform::REG_SZ, "say \"\\\" please\0"s},
      {"a string without its NUL", "bare", platform::REG_SZ, "no end"},
      {"the key's default value", "", platform::REG_EXPAND_SZ, "%HOME%\0"s},
      {"a dword of the wrong size", "short", platform::REG_DWORD, "\x01\x02"},
      {"an empty value of a type with no name", "empty", 0x1234, ""},
  };
  TempConfigHome home;
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, "Software\\Test", 0, nullptr, 0,
                                      platform::KEY_ALL_ACCESS, nullptr, &key, nullptr),
            platform::ERROR_SUCCESS);
  for (const ValueCase& c : cases) {
    ASSERT_EQ(platform::RegSetValueExA(key, c.name.c_str(), 0, c.type, reinterpret_cast<const uint8_t*>(c.data.data()),
                                       static_cast<platform::DWORD>(c.data.size())),
              platform::ERROR_SUCCESS)
        << c.what;
  }
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    uint8_t buffer[256];
    platform::DWORD size = sizeof buffer, type = 0;
    ASSERT_EQ(platform::RegQueryValueExA(key, c.name.c_str(), nullptr, &type, buffer, &size), platform::ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.data);
  }
  platform::RegCloseKey(key);
}

// Drops to an ordinary user in the child where the tests run as root, who
// could write into a read-only folder anyway.
void BecomeOrdinaryUser() {
  if (geteuid() != 0) return;
  if (setgid(65534) != 0 || setuid(65534) != 0) _exit(90);
}

TEST(Store, AReadOnlyFolderLeavesTheFileAsItWasAndTheProgramRunning) {
  TempConfigHome home;
  const std::string before =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000001\n";
  home.Write(before);
  if (geteuid() == 0) {
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + home.Root() + "'").c_str()), 0);
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    BecomeOrdinaryUser();
    if (chmod(home.Folder().c_str(), 0500) != 0) _exit(91);
    SaverSettings settings;
    settings.useMirrors = 0;
    SaveOwnSettings(settings);
    LoadOwnSettings(settings);
    _exit(settings.useMirrors == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the save crashed";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the old value must still load";
  EXPECT_EQ(home.Read(), before);
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + home.Folder() + "' | grep -v '^registry.reg$')\"").c_str()), 0)
      << "no temporary file left behind";
}

TEST(Store, TwoProcessesSavingAtOnceBothLand) {
  TempConfigHome home;
  constexpr int kSaves = 40;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(2);  // both start when the pipe closes
      const char* keyName = p == 0 ? kOwnKey : kSystemSaverKey;
      platform::HKEY key = nullptr;
      if (platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, keyName, 0, nullptr, 0, platform::KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr) != platform::ERROR_SUCCESS) {
        _exit(3);
      }
      for (int i = 0; i < kSaves; ++i) {
        const std::string name = "Value" + std::to_string(i);
        const uint32_t value = static_cast<uint32_t>(p * 1000 + i);
        if (platform::RegSetValueExA(key, name.c_str(), 0, platform::REG_DWORD,
                                     reinterpret_cast<const uint8_t*>(&value), 4) != platform::ERROR_SUCCESS) {
          _exit(4);
        }
      }
      platform::RegCloseKey(key);
      _exit(0);
    }
    children.push_back(child);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  platform::RegistryDocument document;
  ASSERT_TRUE(document.Parse(home.Read()));
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kSaves; ++i) {
      platform::RegistryValue value;
      ASSERT_TRUE(document.FindValue(p == 0 ? kOwnKey : kSystemSaverKey, "Value" + std::to_string(i), &value))
          << "process " << p << " lost save " << i;
      uint32_t got = 0;
      std::memcpy(&got, value.data.data(), 4);
      EXPECT_EQ(got, static_cast<uint32_t>(p * 1000 + i));
    }
  }
}

// A count of /proc/self/io ("rchar", "wchar"): the bytes this process has read
// or written through system calls so far.
uint64_t IoCount(const std::string& field) {
  std::ifstream io("/proc/self/io");
  std::string name;
  uint64_t value = 0;
  while (io >> name >> value) {
    if (name == field + ":") return value;
  }
  return 0;
}

// A valid settings file of about `bytes` bytes: the own key, then comments.
std::string LargeSettingsFile(size_t bytes, uint32_t useMirrors) {
  std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:0000000" +
                     std::to_string(useMirrors) + "\n";
  while (text.size() < bytes) text += "; a note the user keeps, which every save must keep as well\n";
  return text;
}

std::string FolderListing(const std::string& folder) {
  std::string listing;
  const std::string command = "ls -A '" + folder + "'";
  FILE* ls = popen(command.c_str(), "r");
  char line[512];
  while (ls && fgets(line, sizeof line, ls)) listing += line;
  if (ls) pclose(ls);
  return listing;
}

TEST(Store, ALoadReadsTheFileOnceAndAnUnchangedFileNotAgain) {
  constexpr size_t kBytes = 200 * 1024;
  TempConfigHome home;
  home.Write(LargeSettingsFile(kBytes, 0));
  const size_t size = home.Read().size();
  // Written a minute ago: a file changed just now is read at every load.
  ASSERT_EQ(std::system(("touch -d '1 minute ago' '" + home.File() + "'").c_str()), 0);

  SaverSettings settings;
  uint64_t before = IoCount("rchar");
  LoadSystemSaverSettings(settings);
  LoadOwnSettings(settings);
  uint64_t read = IoCount("rchar") - before;
  EXPECT_EQ(settings.useMirrors, 0u);
  EXPECT_GE(read, size);
  EXPECT_LT(read, 2 * size) << "the two keys and their four values take one read of the file";

  before = IoCount("rchar");
  LoadSystemSaverSettings(settings);
  LoadOwnSettings(settings);
  EXPECT_LT(IoCount("rchar") - before, size) << "an unchanged file is not read again";

  // A change by another program, of the same size, is seen at the next load.
  std::string changed = home.Read();
  changed.replace(changed.find("dword:00000000"), 14, "dword:00000001");
  home.Write(changed);
  before = IoCount("rchar");
  LoadOwnSettings(settings);
  EXPECT_EQ(settings.useMirrors, 1u);
  EXPECT_GE(IoCount("rchar") - before, size);
}

TEST(Store, OneSaveIsOneRewriteHoldingBothValuesAndLeavesNothingBeside) {
  constexpr size_t kBytes = 200 * 1024;
  TempConfigHome home;
  home.Write(LargeSettingsFile(kBytes, 0));
  std::ofstream(home.File() + ".lock");  // the empty lock file earlier versions left
  std::ofstream(home.Folder() + "/.registry.reg.4242.1.1") << "REGEDIT4\n";  // a save killed while it wrote
  const std::string before = home.Read();
  struct stat old {};
  ASSERT_EQ(stat(home.File().c_str(), &old), 0);

  SaverSettings settings;
  settings.useMirrors = 1;
  settings.pictureFolder = "/srv/pictures";
  const uint64_t written = IoCount("wchar");
  const uint64_t read = IoCount("rchar");
  EXPECT_EQ(SaveOwnSettings(settings), platform::ERROR_SUCCESS);
  const uint64_t wrote = IoCount("wchar") - written;
  EXPECT_GE(wrote, before.size());
  EXPECT_LT(wrote, 2 * before.size()) << "both values go to the file in one rewrite";
  EXPECT_LT(IoCount("rchar") - read, 3 * before.size()) << "at most a look before and the read under the lock";

  struct stat now {};
  ASSERT_EQ(stat(home.File().c_str(), &now), 0);
  EXPECT_NE(now.st_ino, old.st_ino) << "replaced by rename, never rewritten in place";
  EXPECT_EQ(FolderListing(home.Folder()), "registry.reg\n") << "no lock or temporary file stays";
  SaverSettings loaded;
  LoadOwnSettings(loaded);
  EXPECT_EQ(loaded.useMirrors, 1u);
  EXPECT_EQ(loaded.pictureFolder, "/srv/pictures");
  EXPECT_NE(home.Read().find("; a note the user keeps"), std::string::npos);
}

// Two processes save at once, round after round, each its own value; at the
// start of a round each reads the other's value of the round before. Nothing
// is lost, and no reader ever sees half a file.
TEST(Store, TwoProcessesSavingAtOnceForManyRoundsLoseNothingAndTearNothing) {
  constexpr int kRounds = 200;
  TempConfigHome home;
  const char* const keys[2] = {kOwnKey, kSystemSaverKey};
  for (int round = 0; round < kRounds; ++round) {
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
      children[p] = fork();
      ASSERT_GE(children[p], 0);
      if (children[p] == 0) {
        close(go[1]);
        char c;
        if (read(go[0], &c, 1) != 0) _exit(2);
        if (round > 0) {
          platform::HKEY other = nullptr;
          if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, keys[1 - p], 0, platform::KEY_QUERY_VALUE,
                                      &other) != platform::ERROR_SUCCESS) {
            _exit(3);
          }
          uint32_t seen = 0;
          platform::DWORD size = sizeof seen;
          const std::string name = "Round" + std::to_string(round - 1);
          const bool found = platform::RegQueryValueExA(other, name.c_str(), nullptr, nullptr,
                                                        reinterpret_cast<uint8_t*>(&seen), &size) ==
                             platform::ERROR_SUCCESS;
          platform::RegCloseKey(other);
          if (!found || seen != static_cast<uint32_t>(round - 1)) _exit(4);
        }
        platform::HKEY key = nullptr;
        if (platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, keys[p], 0, nullptr, 0, platform::KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr) != platform::ERROR_SUCCESS) {
          _exit(5);
        }
        const uint32_t value = static_cast<uint32_t>(round);
        const std::string name = "Round" + std::to_string(round);
        platform::RegSetValueExA(key, name.c_str(), 0, platform::REG_DWORD, reinterpret_cast<const uint8_t*>(&value),
                                 4);
        _exit(platform::RegCloseKey(key) == platform::ERROR_SUCCESS ? 0 : 6);
      }
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "round " << round << ": status " << status << " (4: a value of the round before missing)";
    }
  }
  platform::RegistryDocument document;
  ASSERT_TRUE(document.Parse(home.Read()));
  for (int p = 0; p < 2; ++p) {
    for (int round = 0; round < kRounds; ++round) {
      platform::RegistryValue value;
      ASSERT_TRUE(document.FindValue(keys[p], "Round" + std::to_string(round), &value))
          << "process " << p << " lost round " << round;
    }
  }
  EXPECT_EQ(FolderListing(home.Folder()), "registry.reg\n");
}

}  // namespace
}  // namespace hl
