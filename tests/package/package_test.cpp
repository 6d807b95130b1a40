// The Debian package that make package builds (the fixture builds it the same
// way, in a tree of its own): its control fields, its dependencies against
// what the installed ELF files need, and the files it unpacks into a scratch
// root with dpkg -x.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs a shell command; its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\n");
  if (begin == std::string::npos) return "";
  return s.substr(begin, s.find_last_not_of(" \t\n") - begin + 1);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string arch;
    RunCommand("dpkg --print-architecture", &arch);
    architecture_ = Trim(arch);
    package_ = std::string(HL_PACKAGE_TREE) + "/harbor-lights_" + HL_VERSION + "_" + architecture_ + ".deb";
    char pattern[] = "/tmp/hl-package-test-XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    if (fs::exists(package_) && !root_.empty()) {
      unpacked_ = RunCommand("dpkg -x " + Quote(package_) + " " + Quote(root_)) == 0;
    }
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  void SetUp() override {
    ASSERT_TRUE(fs::exists(package_)) << package_ << " was not built (the package_build fixture)";
    ASSERT_TRUE(unpacked_) << "dpkg -x failed";
  }

  static std::string Field(const std::string& name) {
    std::string value;
    RunCommand("dpkg-deb --field " + Quote(package_) + " " + name, &value);
    return Trim(value);
  }

  // Every regular file and link of the unpacked package, relative to its root.
  static std::set<std::string> Files() {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root_).string());
    }
    return files;
  }

  static std::string architecture_, package_, root_;
  static bool unpacked_;
};

std::string DebianPackage::architecture_, DebianPackage::package_, DebianPackage::root_;
bool DebianPackage::unpacked_ = false;

TEST_F(DebianPackage, ControlFields) {
  const struct {
    const char* field;
    std::string value;
  } rows[] = {
      {"Package", "harbor-lights"},
      {"Version", HL_VERSION},
      {"Architecture", architecture_},
      {"Section", "x11"},
      {"Priority", "optional"},
      {"Recommends", "xscreensaver"},
  };
  for (const auto& row : rows) EXPECT_EQ(Field(row.field), row.value) << row.field;
  // A maintainer Debian can write to: "Name <local@domain.tld>", not a
  // machine-local address.
  const std::string maintainer = Field("Maintainer");
  EXPECT_TRUE(std::regex_match(maintainer, std::regex(R"([^<>@]+ <[^<>@ ]+@[a-z0-9-]+(\.[a-z0-9-]+)*\.[a-z]{2,}>)")))
      << maintainer;
  EXPECT_EQ(maintainer.find("localhost"), std::string::npos) << maintainer;
  const std::string description = Field("Description");
  EXPECT_EQ(description.substr(0, description.find('\n')), "OpenGL kaleidoscope screen saver");
  EXPECT_EQ(description.find(';'), std::string::npos) << description;
}

// The install layout: the program where the daemon looks for display modes,
// its description for the daemon's settings tool, the man page compressed,
// the dialog module where the program was built to find it, the copyright
// and changelog, and the menu entry of the settings dialog; nothing more.
TEST_F(DebianPackage, FilesAndTheirModes) {
  const std::set<std::string> files = Files();
  std::string module;
  for (const std::string& f : files) {
    if (fs::path(f).filename() == "harbor-lights-gtk.so") module = f;
  }
  ASSERT_FALSE(module.empty()) << "no dialog module in the package";
  EXPECT_EQ(module.rfind("usr/lib/", 0), 0u) << module;
  const std::set<std::string> expected = {
      "usr/libexec/xscreensaver/harbor-lights",
      "usr/share/xscreensaver/config/harbor-lights.xml",
      "usr/share/man/man6/harbor-lights.6.gz",
      "usr/share/doc/harbor-lights/copyright",
      "usr/share/doc/harbor-lights/changelog.gz",
      "usr/share/applications/harbor-lights-settings.desktop",
      module,
  };
  EXPECT_EQ(files, expected);

  const struct {
    std::string path;
    fs::perms mode;
  } modes[] = {
      {"usr/libexec/xscreensaver/harbor-lights", static_cast<fs::perms>(0755)},
      {"usr/share/xscreensaver/config/harbor-lights.xml", static_cast<fs::perms>(0644)},
      {"usr/share/man/man6/harbor-lights.6.gz", static_cast<fs::perms>(0644)},
      {"usr/share/doc/harbor-lights/copyright", static_cast<fs::perms>(0644)},
      {"usr/share/doc/harbor-lights/changelog.gz", static_cast<fs::perms>(0644)},
      {"usr/share/applications/harbor-lights-settings.desktop", static_cast<fs::perms>(0644)},
      {module, static_cast<fs::perms>(0644)},
  };
  for (const auto& row : modes) {
    EXPECT_EQ(fs::status(root_ + "/" + row.path).permissions() & fs::perms::mask, row.mode) << row.path;
  }
  std::string listing;
  ASSERT_EQ(RunCommand("dpkg-deb --contents " + Quote(package_), &listing), 0);
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_NE(line.find(" root/root "), std::string::npos) << "not owned by root: " << line;
  }

  // The program looks for its module at a path compiled in from the build's
  // prefix: it must be where the package puts it. Asked for a dialog with no
  // display, the program tries to load the module; a preloaded probe notes
  // the paths.
  const std::string log = root_ + "/dlopen.log";
  RunCommand("env -u DISPLAY XDG_CONFIG_HOME=" + Quote(root_) + " HL_DLOPEN_LOG=" + Quote(log) +
             " LD_PRELOAD=" + Quote(HL_DLOPEN_PROBE) + " " + Quote(root_ + "/usr/libexec/xscreensaver/harbor-lights") +
             " /c >/dev/null 2>&1");
  const std::string tried = ReadFile(log);
  EXPECT_NE(("\n" + tried).find("\n/" + module + "\n"), std::string::npos)
      << "the program would not look for /" << module << "; it tried:\n" << tried;
  // Nowhere but there and beside itself: never in the tree it was built in.
  const std::set<std::string> allowed = {"/" + module,
                                         root_ + "/usr/libexec/xscreensaver/harbor-lights-gtk.so"};
  std::istringstream paths(tried);
  for (std::string path; std::getline(paths, path);) {
    if (fs::path(path).filename() == "harbor-lights-gtk.so") {
      EXPECT_EQ(allowed.count(path), 1u) << path;
    }
  }
  fs::remove(log);
}

TEST_F(DebianPackage, FilesHoldWhatTheTreeHas) {
  EXPECT_EQ(ReadFile(root_ + "/usr/share/xscreensaver/config/harbor-lights.xml"),
            ReadFile(std::string(HL_SOURCE_DIR) + "/resources/harbor-lights.xml"));
  std::string page;
  ASSERT_EQ(RunCommand("gzip -dc " + Quote(root_ + "/usr/share/man/man6/harbor-lights.6.gz"), &page), 0);
  EXPECT_EQ(page, ReadFile(std::string(HL_SOURCE_DIR) + "/docs/harbor-lights.6"));
  // gzip -n: no name and no time stamp in the header, so rebuilds give the same bytes.
  const std::string gz = ReadFile(root_ + "/usr/share/man/man6/harbor-lights.6.gz");
  ASSERT_GE(gz.size(), 10u);
  EXPECT_EQ(gz[3] & 0x08, 0) << "the original name is stored";
  EXPECT_EQ(gz.substr(4, 4), std::string(4, '\0')) << "a time stamp is stored";

  const std::string program = root_ + "/usr/libexec/xscreensaver/harbor-lights";
  std::string version, kind;
  EXPECT_EQ(RunCommand(Quote(program) + " --version", &version), 0);
  EXPECT_EQ(version.rfind("harbor-lights ", 0), 0u) << version;
  RunCommand("file -b " + Quote(program), &kind);
  EXPECT_NE(kind.find("ELF"), std::string::npos) << kind;
  EXPECT_NE(kind.find(", stripped"), std::string::npos) << kind;
}

// Run from the very folder it is installed in, the program loads its module
// from where the package put it and from nowhere else, not even beside
// itself. A private mount namespace puts the unpacked program there; without
// the privilege for one, the case is skipped.
TEST_F(DebianPackage, InstalledProgramLooksOnlyWhereItWasInstalled) {
  std::string module;
  for (const std::string& f : Files()) {
    if (fs::path(f).filename() == "harbor-lights-gtk.so") module = "/" + f;
  }
  const std::string installed = "/usr/libexec/xscreensaver";
  std::string ignored;
  if (!fs::is_directory(installed) || RunCommand("unshare -m true 2>/dev/null", &ignored) != 0) {
    GTEST_SKIP() << "cannot place the program at " << installed << " in a private mount namespace";
  }
  const std::string log = root_ + "/dlopen-installed.log";
  const std::string script = "mount --bind " + Quote(root_ + installed) + " " + installed + " && env -u DISPLAY XDG_CONFIG_HOME=" +
                             Quote(root_) + " HL_DLOPEN_LOG=" + Quote(log) + " LD_PRELOAD=" + Quote(HL_DLOPEN_PROBE) + " " +
                             installed + "/harbor-lights /c >/dev/null 2>&1; true";
  ASSERT_EQ(RunCommand("unshare -m --propagation private sh -c " + Quote(script), &ignored), 0);
  std::vector<std::string> tried;
  std::istringstream paths(ReadFile(log));
  for (std::string path; std::getline(paths, path);) {
    if (fs::path(path).filename() == "harbor-lights-gtk.so") tried.push_back(path);
  }
  EXPECT_EQ(tried, std::vector<std::string>{module});
  fs::remove(log);
}

// No installed file names the trees the package was built from: a path into
// a build folder (under /tmp, say) is a place where anyone could plant code
// for an installed program to load. Compressed files are read unpacked.
TEST_F(DebianPackage, NoBuildPathInAnyFile) {
  const std::string trees[] = {HL_PACKAGE_TREE, HL_SOURCE_DIR};
  for (const std::string& f : Files()) {
    std::string bytes;
    if (fs::path(f).extension() == ".gz") {
      ASSERT_EQ(RunCommand("gzip -dc " + Quote(root_ + "/" + f), &bytes), 0) << f;
    } else {
      bytes = ReadFile(root_ + "/" + f);
    }
    for (const std::string& tree : trees) {
      EXPECT_EQ(bytes.find(tree), std::string::npos) << f << " names " << tree;
    }
  }
}

// Our version reads the same wherever it is ours: the package, the
// program's --version, the man page's footer and the changelog. (The
// dialog's "Version 1.0" is the designed text, not a build's version.)
TEST_F(DebianPackage, OneVersionEverywhere) {
  std::string printed, page, changelog;
  RunCommand(Quote(root_ + "/usr/libexec/xscreensaver/harbor-lights") + " --version", &printed);
  RunCommand("gzip -dc " + Quote(root_ + "/usr/share/man/man6/harbor-lights.6.gz"), &page);
  RunCommand("dpkg-parsechangelog -S Version -l " + Quote(root_ + "/usr/share/doc/harbor-lights/changelog.gz"),
             &changelog);
  const struct {
    const char* where;
    std::string text, expected;
  } rows[] = {
      {"Version field", Field("Version"), HL_VERSION},
      {"--version", printed, std::string("harbor-lights ") + HL_VERSION + "\n"},
      {"man page footer", page.substr(0, page.find('\n')),
       std::string(".TH HARBOR-LIGHTS 6 \"\" \"harbor-lights ") + HL_VERSION + "\" \"Screen savers\""},
      {"changelog", Trim(changelog), HL_VERSION},
  };
  for (const auto& row : rows) EXPECT_EQ(row.text, row.expected) << row.where;
}

// The copyright file in the machine-readable format, and a menu entry that
// opens the settings dialog of the installed program.
TEST_F(DebianPackage, CopyrightAndMenuEntry) {
  const std::string copyright = ReadFile(root_ + "/usr/share/doc/harbor-lights/copyright");
  EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u)
      << copyright;
  for (const char* field : {"\nFiles: *\n", "\nCopyright: ", "\nLicense: "}) {
    EXPECT_NE(copyright.find(field), std::string::npos) << field;
  }
  const std::string entry = ReadFile(root_ + "/usr/share/applications/harbor-lights-settings.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  for (const char* line : {"\nType=Application\n", "\nName=Harbor Lights settings\n",
                           "\nExec=/usr/libexec/xscreensaver/harbor-lights /c\n"}) {
    EXPECT_NE(entry.find(line), std::string::npos) << line << " missing from\n" << entry;
  }
}

// lintian, Debian's package checker, finds no error and no warning.
TEST_F(DebianPackage, LintianFindsNoErrorOrWarning) {
  std::string report;
  RunCommand("lintian --no-tag-display-limit " + Quote(package_) + " 2>/dev/null", &report);
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(line.rfind("E: ", 0) != 0 && line.rfind("W: ", 0) != 0) << line;
  }
}

// The package Depends on the package of every shared library that the
// program and its module need.
TEST_F(DebianPackage, DependsOnEveryLibraryNeeded) {
  std::set<std::string> depends;
  std::string field = Field("Depends");
  for (char& c : field) {
    if (c == '|') c = ',';
  }
  std::istringstream items(field);
  for (std::string item; std::getline(items, item, ',');) {
    item = Trim(item);
    depends.insert(item.substr(0, item.find_first_of(" (")));
  }
  std::string cache;
  ASSERT_EQ(RunCommand("ldconfig -p", &cache), 0);
  for (const std::string& f : Files()) {
    std::string needed;
    ASSERT_EQ(RunCommand("readelf -d " + Quote(root_ + "/" + f) + " 2>/dev/null | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'",
                  &needed),
              0);
    std::istringstream sonames(needed);
    for (std::string soname; std::getline(sonames, soname);) {
      // The library's path from the loader's cache, then its package; with
      // merged /usr dpkg knows some under /lib and some under /usr/lib.
      std::string owner;
      const auto at = cache.find("\t" + soname + " (");
      ASSERT_NE(at, std::string::npos) << soname << " is not in the loader's cache";
      const auto arrow = cache.find("=> ", at);
      std::string path = cache.substr(arrow + 3, cache.find('\n', arrow) - arrow - 3);
      if (path.rfind("/usr/", 0) == 0) path = path.substr(4);
      for (const std::string& candidate : {"/usr" + path, path}) {
        std::string answer;
        if (RunCommand("dpkg -S " + Quote(candidate) + " 2>/dev/null", &answer) == 0) {
          owner = answer.substr(0, answer.find_first_of(":"));
          break;
        }
      }
      ASSERT_FALSE(owner.empty()) << "no package holds " << soname << " (" << path << ")";
      EXPECT_EQ(depends.count(owner), 1u) << f << " needs " << soname << " from " << owner
                                          << ", which Depends does not name: " << Field("Depends");
    }
  }
}

}  // namespace
