// The settings store against what it may meet on a real machine: links and
// files of other users, settings files that are not what they should be, and
// an environment without a usable home. Nothing crashes or blocks, nothing the
// user wrote is lost, every failed save says why in one line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error_sink.h"
#include "platform/registry.h"
#include "shell/saver_settings.h"
#include "tests/shell/settings_test_support.h"

namespace hl {
namespace {

using testing_support::TempConfigHome;
using namespace std::string_literals;

constexpr const char* kOwnSection = "[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]";

// The file's bytes; "" for anything but a regular file (a FIFO would block).
std::string ReadFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Listing(const std::string& folder) {
  std::string listing;
  FILE* ls = popen(("ls -A '" + folder + "' 2>&1").c_str(), "r");
  char line[512];
  while (ls && fgets(line, sizeof line, ls)) listing += line;
  if (ls) pclose(ls);
  return listing;
}

// The lines the store reports while it lives.
class ReportedLines {
 public:
  ReportedLines() {
    platform::SetErrorSink([this](const std::string& line) { lines_.push_back(line); });
  }
  ~ReportedLines() { platform::SetErrorSink({}); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

SaverSettings Loaded() {
  SaverSettings settings;
  settings.useMirrors = 999;
  LoadSystemSaverSettings(settings);
  LoadOwnSettings(settings);
  return settings;
}

platform::LONG Save(uint32_t useMirrors, const std::string& folder = "") {
  SaverSettings settings;
  settings.useMirrors = useMirrors;
  settings.pictureFolder = folder;
  return SaveOwnSettings(settings);
}

// What a failed save must leave: exactly one reported line, naming `cause`.
void ExpectOneLineNaming(const ReportedLines& reported, const std::string& cause) {
  ASSERT_EQ(reported.Lines().size(), 1u);
  EXPECT_NE(reported.Lines()[0].find(cause), std::string::npos) << reported.Lines()[0];
}

const std::string kOwnOff = "REGEDIT4\n\n"s + kOwnSection + "\n\"UseMirrors\"=dword:00000000\n";

TEST(SettingsHazards, SavesNeverFollowLinksAndNeverTakeTheUsersFileAway) {
  struct LinkCase {
    const char* what;
    std::function<void(const TempConfigHome&)> plant;
    platform::LONG status;
    const char* cause;  // in the one reported line, when the save fails
    std::function<void(const TempConfigHome&)> check;
  };
  const LinkCase cases[] = {
      {"the settings file is a link to another file: that file stays as it was",
       [](const TempConfigHome& home) {
         WriteFile(home.Root() + "/other.reg", kOwnOff);
         mkdir(home.Folder().c_str(), 0700);
         ASSERT_EQ(symlink((home.Root() + "/other.reg").c_str(), home.File().c_str()), 0);
       },
       platform::ERROR_CANT_ACCESS_FILE, "is a symbolic link",
       [](const TempConfigHome& home) {
         EXPECT_EQ(ReadFile(home.Root() + "/other.reg"), kOwnOff);
         struct stat st {};
         ASSERT_EQ(lstat(home.File().c_str(), &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the user's link stays";
       }},
      {"the settings folder is a link: nothing is written where it points",
       [](const TempConfigHome& home) {
         mkdir((home.Root() + "/elsewhere").c_str(), 0700);
         WriteFile(home.Root() + "/elsewhere/registry.reg", kOwnOff);
         ASSERT_EQ(symlink((home.Root() + "/elsewhere").c_str(), home.Folder().c_str()), 0);
       },
       platform::ERROR_CANT_ACCESS_FILE, "is a symbolic link",
       [](const TempConfigHome& home) {
         EXPECT_EQ(ReadFile(home.Root() + "/elsewhere/registry.reg"), kOwnOff);
         EXPECT_EQ(Listing(home.Root() + "/elsewhere"), "registry.reg\n");
       }},
      {"a link where a lock file once was: never opened",
       [](const TempConfigHome& home) {
         home.Write(kOwnOff);
         WriteFile(home.Root() + "/victim", "precious\n");
         ASSERT_EQ(symlink((home.Root() + "/victim").c_str(), (home.File() + ".lock").c_str()), 0);
       },
       platform::ERROR_SUCCESS, nullptr,
       [](const TempConfigHome& home) {
         EXPECT_EQ(ReadFile(home.Root() + "/victim"), "precious\n");
         EXPECT_EQ(Loaded().useMirrors, 1u);
       }},
      {"a read-only file is not replaced",
       [](const TempConfigHome& home) {
         home.Write(kOwnOff);
         ASSERT_EQ(chmod(home.File().c_str(), 0444), 0);
       },
       platform::ERROR_ACCESS_DENIED, "is read-only",
       [](const TempConfigHome& home) {
         EXPECT_EQ(home.Read(), kOwnOff);
         struct stat st {};
         ASSERT_EQ(stat(home.File().c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0444u);
       }},
      {"the file keeps its owner and mode (a save run by root keeps the user's file theirs)",
       [](const TempConfigHome& home) {
         home.Write(kOwnOff);
         ASSERT_EQ(chmod(home.File().c_str(), 0640), 0);
         if (geteuid() == 0) {
           ASSERT_EQ(chown(home.File().c_str(), 65534, 65534), 0);
         }
       },
       platform::ERROR_SUCCESS, nullptr,
       [](const TempConfigHome& home) {
         struct stat st {};
         ASSERT_EQ(stat(home.File().c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0640u);
         if (geteuid() == 0) {
           EXPECT_EQ(st.st_uid, 65534u);
           EXPECT_EQ(st.st_gid, 65534u);
         }
         EXPECT_EQ(Loaded().useMirrors, 1u);
       }},
      {"root saving for a user who has no settings yet: the new folder and file are the user's",
       [](const TempConfigHome& home) {
         if (geteuid() == 0) {
           ASSERT_EQ(chown(home.Root().c_str(), 65534, 65534), 0);
         }
       },
       platform::ERROR_SUCCESS, nullptr,
       [](const TempConfigHome& home) {
         struct stat folder {}, file {};
         ASSERT_EQ(stat(home.Folder().c_str(), &folder), 0);
         ASSERT_EQ(stat(home.File().c_str(), &file), 0);
         EXPECT_EQ(folder.st_mode & 07777, 0700u);
         EXPECT_EQ(file.st_mode & 07777, 0600u);
         if (geteuid() == 0) {
           EXPECT_EQ(folder.st_uid, 65534u);
           EXPECT_EQ(file.st_uid, 65534u);
           EXPECT_EQ(file.st_gid, 65534u);
         }
       }},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempConfigHome home;
    c.plant(home);
    ReportedLines reported;
    EXPECT_EQ(Save(1), c.status);
    if (c.cause) {
      ExpectOneLineNaming(reported, c.cause);
    } else {
      EXPECT_TRUE(reported.Lines().empty());
    }
    c.check(home);
    const std::string listing = Listing(home.Folder());
    EXPECT_EQ(listing.find(".registry.reg."), std::string::npos) << "a temporary file stayed: " << listing;
  }
}

// Text of `bytes` bytes drawn from everything a settings file may hold but
// NUL and carriage returns, in lines.
std::string Junk(size_t bytes, unsigned seed) {
  const std::string alphabet = "abcXYZ0189 \t\"\\[]@=,:;-()";
  std::mt19937 random(seed);
  std::string text;
  text.reserve(bytes);
  while (text.size() < bytes) {
    const unsigned pick = random() % 32;
    text += pick < alphabet.size() ? alphabet[pick] : '\n';
  }
  return text;
}

TEST(SettingsHazards, SettingsFilesThatAreNotWhatTheyShouldBe) {
  struct FileCase {
    const char* what;
    std::function<void(const TempConfigHome&)> make;
    uint32_t loaded;       // "UseMirrors" as the designed 4-byte query gives it
    platform::LONG saved;  // what a save (mirrors on, a picture folder) gives
    std::string after;     // the file after that save; "" for unchanged
  };
  const std::string bom = "\xEF\xBB\xBF";
  const std::string junkText = Junk(10 << 20, 1);
  const std::string bigKept = "REGEDIT4\n" + junkText + "\n" + kOwnSection + "\n\"UseMirrors\"=dword:00000000\n";
  const FileCase cases[] = {
      {"a folder where the file should be",
       [](const TempConfigHome& home) { ASSERT_EQ(mkdir(home.File().c_str(), 0700), 0); }, 1,
       platform::ERROR_INVALID_DATA, ""},
      {"a FIFO where the file should be: nothing waits on it",
       [](const TempConfigHome& home) { ASSERT_EQ(mkfifo(home.File().c_str(), 0600), 0); }, 1,
       platform::ERROR_INVALID_DATA, ""},
      {"10 MB of junk", [&](const TempConfigHome& home) { home.Write(Junk(10 << 20, 2)); }, 1,
       platform::ERROR_INVALID_DATA, ""},
      {"10 MB of junk after a REGEDIT4 line: every byte of it kept",
       [&](const TempConfigHome& home) { home.Write(bigKept); }, 0, platform::ERROR_SUCCESS,
       bigKept.substr(0, bigKept.size() - 9) + "00000001\n\"PictureFolder\"=\"/srv/p\"\n"},
      {"a NUL byte: not read, not replaced",
       [](const TempConfigHome& home) { home.Write(kOwnOff + "; a\0b\n"s); }, 1, platform::ERROR_INVALID_DATA, ""},
      {"CRLF line ends after a byte-order mark: the same values, and both kept",
       [&](const TempConfigHome& home) {
         home.Write(bom + "REGEDIT4\r\n\r\n" + kOwnSection + "\r\n\"UseMirrors\"=dword:00000000\r\n");
       },
       0, platform::ERROR_SUCCESS,
       bom + "REGEDIT4\r\n\r\n" + kOwnSection + "\r\n\"UseMirrors\"=dword:00000001\r\n\"PictureFolder\"=\"/srv/p\"\r\n"},
      {"a hex value of one byte is zero-filled: 00 is off",
       [](const TempConfigHome& home) { home.Write("REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=hex:00\n"); }, 0,
       platform::ERROR_SUCCESS,
       "REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=dword:00000001\n\"PictureFolder\"=\"/srv/p\"\n"},
      {"a hex value of five bytes does not fit: the default",
       [](const TempConfigHome& home) {
         home.Write("REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=hex:00,00,00,00,00\n");
       },
       1, platform::ERROR_SUCCESS,
       "REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=dword:00000001\n\"PictureFolder\"=\"/srv/p\"\n"},
      {"the string \"no\" is three bytes, n o NUL: non-zero, so on",
       [](const TempConfigHome& home) { home.Write("REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=\"no\"\n"); },
       0x00006f6e, platform::ERROR_SUCCESS,
       "REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=dword:00000001\n\"PictureFolder\"=\"/srv/p\"\n"},
      {"the empty string is one NUL byte: off",
       [](const TempConfigHome& home) { home.Write("REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=\"\"\n"); }, 0,
       platform::ERROR_SUCCESS,
       "REGEDIT4\n"s + kOwnSection + "\n\"UseMirrors\"=dword:00000001\n\"PictureFolder\"=\"/srv/p\"\n"},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempConfigHome home;
    mkdir(home.Folder().c_str(), 0700);
    c.make(home);
    const std::string before = ReadFile(home.File());
    EXPECT_EQ(Loaded().useMirrors, c.loaded);
    ReportedLines reported;
    EXPECT_EQ(Save(1, "/srv/p"), c.saved);
    if (c.saved != platform::ERROR_SUCCESS) ExpectOneLineNaming(reported, "left as it is");
    const std::string after = ReadFile(home.File());
    if (c.after.empty()) {
      EXPECT_TRUE(after == before) << "the file changed";
    } else {
      EXPECT_TRUE(after == c.after) << "the file after the save differs, " << after.size() << " bytes against "
                                    << c.after.size();
    }
    EXPECT_EQ(Listing(home.Folder()), "registry.reg\n");
  }
}

// Runs with HOME and XDG_CONFIG_HOME as given (nullptr: unset) and the current
// folder a fresh empty one, and puts all three back afterwards.
class Environment {
 public:
  Environment(const char* home, const char* config) {
    Keep("HOME", &home_, &hadHome_);
    Keep("XDG_CONFIG_HOME", &config_, &hadConfig_);
    Set("HOME", home);
    Set("XDG_CONFIG_HOME", config);
    char pattern[] = "/tmp/hl-cwd-XXXXXX";
    cwd_ = mkdtemp(pattern) ? pattern : "";
    char old[4096];
    oldCwd_ = getcwd(old, sizeof old) ? old : "/";
    if (chdir(cwd_.c_str()) != 0) cwd_.clear();
  }
  ~Environment() {
    if (chdir(oldCwd_.c_str()) != 0) std::abort();
    Set("HOME", hadHome_ ? home_.c_str() : nullptr);
    Set("XDG_CONFIG_HOME", hadConfig_ ? config_.c_str() : nullptr);
    std::system(("rm -rf '" + cwd_ + "'").c_str());
  }
  const std::string& Cwd() const { return cwd_; }

 private:
  static void Keep(const char* name, std::string* value, bool* had) {
    const char* v = std::getenv(name);
    *had = v != nullptr;
    if (v) *value = v;
  }
  static void Set(const char* name, const char* value) {
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  std::string home_, config_, cwd_, oldCwd_;
  bool hadHome_ = false, hadConfig_ = false;
};

TEST(SettingsHazards, AnEnvironmentWithoutAUsableHome) {
  TempConfigHome scratch;  // a folder for the cases' homes
  const std::string home = scratch.Root() + "/home";
  const std::string aFile = scratch.Root() + "/plain-file";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.config").c_str(), 0700);
  mkdir((home + "/.config/harbor-lights").c_str(), 0700);
  WriteFile(home + "/.config/harbor-lights/registry.reg", kOwnOff);
  WriteFile(aFile, "not a folder\n");
  struct EnvironmentCase {
    const char* what;
    const char* home;
    const char* config;
    uint32_t loaded;
    platform::LONG saved;
    const char* cause;  // in the one reported line, when the save fails
  };
  const EnvironmentCase cases[] = {
      {"neither set: defaults, and a save says why it cannot be", nullptr, nullptr, 1, platform::ERROR_PATH_NOT_FOUND,
       "HOME is not set"},
      {"a relative HOME is no home", "rel", nullptr, 1, platform::ERROR_PATH_NOT_FOUND,
       "HOME is not an absolute path"},
      {"a relative XDG_CONFIG_HOME is ignored for HOME's", home.c_str(), "cfg", 0, platform::ERROR_SUCCESS, nullptr},
      {"HOME is a file", aFile.c_str(), nullptr, 1, platform::ERROR_PATH_NOT_FOUND, "Not a directory"},
      {"XDG_CONFIG_HOME is a file", home.c_str(), aFile.c_str(), 1, platform::ERROR_PATH_NOT_FOUND,
       "Not a directory"},
  };
  for (const EnvironmentCase& c : cases) {
    SCOPED_TRACE(c.what);
    Environment environment(c.home, c.config);
    ASSERT_FALSE(environment.Cwd().empty());
    EXPECT_EQ(Loaded().useMirrors, c.loaded);
    ReportedLines reported;
    EXPECT_EQ(Save(1), c.saved);
    if (c.cause) {
      ExpectOneLineNaming(reported, c.cause);
    } else {
      EXPECT_TRUE(reported.Lines().empty());
      EXPECT_EQ(Loaded().useMirrors, 1u);
    }
    EXPECT_EQ(Listing(environment.Cwd()), "") << "nothing is written into the current folder";
  }
  EXPECT_EQ(ReadFile(aFile), "not a folder\n");
}

}  // namespace
}  // namespace hl
