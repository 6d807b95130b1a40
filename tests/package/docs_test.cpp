// The documents that ship or sit beside the code: the man page formats
// without a warning and describes every option the program's usage lists;
// the README's commands and paths name things that exist.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Source(const std::string& relative) { return std::string(HL_SOURCE_DIR) + "/" + relative; }

TEST(ManualPage, FormatsWithoutWarnings) {
  std::string warnings;
  ASSERT_EQ(RunCommand("groff -man -ww -z '" + Source("docs/harbor-lights.6") + "' 2>&1", &warnings), 0);
  EXPECT_EQ(warnings, "");
}

// Each option of the usage text has its entry in the page (where dashes are
// written \-). A new option in the program and not in the page fails here.
TEST(ManualPage, DescribesEveryOptionOfTheUsage) {
  std::string usage;
  ASSERT_EQ(RunCommand(std::string("'") + HL_PROGRAM + "' --help", &usage), 0);
  const std::string page = ReadFile(Source("docs/harbor-lights.6"));
  const std::regex option(R"((^|[\s\[(,|])(--?[a-z][a-z0-9-]*))");
  std::set<std::string> options;
  for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
    options.insert((*it)[2]);
  }
  EXPECT_GE(options.size(), 10u) << usage;
  for (const std::string& name : options) {
    // In the page "-fps" is \-fps, and must not count as a piece of \-\-fps
    // or \-fps\-overlay.
    std::string pattern;
    for (char c : name) pattern += c == '-' ? std::string(R"(\\-)") : std::string(1, c);
    const std::regex entry("(^|[^-a-z0-9])" + pattern + R"((?![a-z0-9]|\\-))");
    EXPECT_TRUE(std::regex_search(page, entry)) << name << " has no entry in the man page";
  }
}

// `make X` in the README is a target of the Makefile; the paths it names in
// the source tree are there.
TEST(Readme, CommandsAndPathsExist) {
  const std::string readme = ReadFile(Source("README.md"));
  const std::string makefile = ReadFile(Source("Makefile"));
  ASSERT_FALSE(readme.empty());
  const std::regex make(R"(\bmake ([a-z][a-z-]*))");
  int targets = 0;
  for (std::sregex_iterator it(readme.begin(), readme.end(), make), end; it != end; ++it, ++targets) {
    const std::string target = (*it)[1];
    EXPECT_TRUE(std::regex_search(makefile, std::regex("(^|\\n)" + target + ":"))) << "make " << target;
  }
  EXPECT_GE(targets, 4);
  const std::regex path(R"(`((?:docs|scripts|resources|shell|platform|renderer|scenes|tools|tests|bench|fuzz|packaging)/[A-Za-z0-9_./-]*)`)");
  for (std::sregex_iterator it(readme.begin(), readme.end(), path), end; it != end; ++it) {
    EXPECT_TRUE(fs::exists(Source((*it)[1]))) << (*it)[1] << " named in the README is not in the tree";
  }
}

}  // namespace
