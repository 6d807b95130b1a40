// The screen-saver command line: every example and edge case of the grammar,
// as whole command lines (program token first).
#include <gtest/gtest.h>

#include "shell/command_line.h"
#include "shell/saver_main.h"

namespace hl {
namespace {

constexpr bool kForeground = true;

struct ParseCase {
  const char* line;
  RunMode mode;
  platform::WindowHandle parent;
  bool foregroundParent;
};

const ParseCase kCases[] = {
    {"harbor-lights /s", RunSaver, 0, false},
    {"harbor-lights /S", RunSaver, 0, false},
    {"harbor-lights s", RunSaver, 0, false},
    {"harbor-lights -s 1234", RunSaver, 0, false},  // the rest is not read
    {"harbor-lights /p 1234", RunPreview, 1234, false},
    {"harbor-lights /l:1234", RunPreview, 1234, false},
    {"harbor-lights /P: :77", RunPreview, 77, false},  // spaces and colons mixed
    {"harbor-lights /p", RunPreview, 0, false},       // atoi of nothing
    {"harbor-lights /p x", RunPreview, 0, false},
    {"harbor-lights /c", RunConfig, 0, kForeground},
    {"harbor-lights /c   ", RunConfig, 0, kForeground},
    {"harbor-lights -c:5678", RunConfig, 5678, false},
    {"harbor-lights /C 5678", RunConfig, 5678, false},
    {"harbor-lights /c 0", RunConfig, 0, false},
    {"harbor-lights /c\t9", RunConfig, 9, false},  // a tab is not skipped here, but atoi skips it
    {"harbor-lights /a 42", RunChangePassword, 42, false},
    {"harbor-lights -A:42", RunChangePassword, 42, false},
    {"harbor-lights /a", RunChangePassword, 0, false},
    {"harbor-lights /x", RunNone, 0, false},
    {"harbor-lights /", RunNone, 0, false},
    {"harbor-lights -", RunNone, 0, false},
    {"harbor-lights //s", RunNone, 0, false},  // only one switch character is stepped over
    {"harbor-lights", RunConfig, 0, false},
    {"harbor-lights ", RunConfig, 0, false},
    {"harbor-lights    /s", RunSaver, 0, false},  // spaces after the program token
    {"", RunConfig, 0, false},
    {"\"/opt/harbor lights/harbor-lights\" /p 5", RunPreview, 5, false},
    {"\"/opt/harbor lights/harbor-lights\"/s", RunSaver, 0, false},  // the closing quote ends the token
    {"\"unterminated /s", RunConfig, 0, false},
    {"\"harbor-lights\"\t/s", RunNone, 0, false},  // the tab is the switch character
    {"harbor-lights\t/s", RunConfig, 0, false},    // no space: all of it is the program token
    {"harbor-lights /p -1", RunPreview, 0xFFFFFFFFu, false},
    {"harbor-lights /p 99999999999999999999", RunPreview, 0x7FFFFFFFu, false},  // clamped, never undefined
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '[' << c.line << ']'; }

class ParseTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, GivesTheModeAndTheParent) {
  const ParseCase& c = GetParam();
  const SaverCommandLine parsed = ParseSaverCommandLine(c.line);
  EXPECT_EQ(parsed.mode, c.mode) << c.line;
  EXPECT_EQ(parsed.parent, c.parent) << c.line;
  EXPECT_EQ(parsed.foregroundParent, c.foregroundParent) << c.line;
}

INSTANTIATE_TEST_SUITE_P(CommandLine, ParseTable, testing::ValuesIn(kCases));

// The process's arguments become one line; a program path with a space is
// quoted, as the system quotes it, so it is still one token.
TEST(CommandLine, JoinedArgumentsParseAsTheSystemWouldHandThemOver) {
  struct JoinCase {
    std::vector<std::string> arguments;
    std::string line;
    RunMode mode;
    platform::WindowHandle parent;
  };
  const JoinCase cases[] = {
      {{"harbor-lights", "/p", "1234"}, "harbor-lights /p 1234", RunPreview, 1234},
      {{"harbor-lights", "-c:5678"}, "harbor-lights -c:5678", RunConfig, 5678},
      {{"harbor-lights"}, "harbor-lights", RunConfig, 0},
      {{"/opt/my savers/harbor-lights", "/s"}, "\"/opt/my savers/harbor-lights\" /s", RunSaver, 0},
      {{"/opt/my savers/harbor-lights"}, "\"/opt/my savers/harbor-lights\"", RunConfig, 0},
  };
  for (const JoinCase& c : cases) {
    const std::string line = JoinCommandLine(c.arguments);
    EXPECT_EQ(line, c.line);
    const SaverCommandLine parsed = ParseSaverCommandLine(line);
    EXPECT_EQ(parsed.mode, c.mode) << line;
    EXPECT_EQ(parsed.parent, c.parent) << line;
  }
}

}  // namespace
}  // namespace hl
