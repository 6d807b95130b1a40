// Our own options and the screen-saver daemon's conventions, read before the
// Windows-style switches.
#include "shell/long_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hl {
namespace {

struct Parsed {
  bool ok;
  LongOptions options;
  std::string error;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "harbor-lights");
  Parsed p;
  p.ok = ParseLongOptions(static_cast<int>(args.size()), args.data(), &p.options, &p.error);
  return p;
}

TEST(LongOptions, RenderValuesAreDecimalAndChecked) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    int width, height;
    uint32_t seed;
  } cases[] = {
      {{"--render", "d"}, true, 1280, 720, 0},
      {{"--render", "d", "--size", "0640x0480", "--seed", "010"}, true, 640, 480, 10},  // no octal
      {{"--render", "d", "--size", "08x8"}, true, 8, 8, 0},
      {{"--render", "d", "--size", "0x10"}, false, 0, 0, 0},
      {{"--render", "d", "--size", "16385x10"}, false, 0, 0, 0},
      {{"--render", "d", "--size", "+5x5"}, false, 0, 0, 0},
      {{"--render", "d", "--seed", "0x10"}, false, 0, 0, 0},
      {{"--render", "d", "--seed", "4294967296"}, false, 0, 0, 0},
      {{"--render", "d", "--fps", "nan"}, false, 0, 0, 0},
      {{"--render", "d", "--seconds", "0"}, false, 0, 0, 0},
      {{"--render"}, false, 0, 0, 0},
      {{"--size", "10x10"}, false, 0, 0, 0},  // goes with --render only
      {{"--bogus"}, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.ok, c.ok) << line << p.error;
    if (!p.ok) {
      EXPECT_FALSE(p.error.empty()) << line;
      EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
      continue;
    }
    EXPECT_EQ(p.options.renderOptions.width, c.width) << line;
    EXPECT_EQ(p.options.renderOptions.height, c.height) << line;
    EXPECT_EQ(p.options.renderOptions.seed, c.seed) << line;
  }
}

TEST(LongOptions, DaemonConventionsTakeOneOrTwoDashesAndWindowNumbers) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    HostMode host;
    uint64_t windowId;
  } cases[] = {
      {{"-root"}, true, HostMode::Root, 0},
      {{"--root"}, true, HostMode::Root, 0},
      {{"-window"}, true, HostMode::Window, 0},
      {{"-window-id", "0x2a"}, true, HostMode::WindowId, 42},
      {{"--window-id", "0X2A"}, true, HostMode::WindowId, 42},
      {{"-window-id", "042"}, true, HostMode::WindowId, 42},  // decimal, not octal
      {{"-window-id", "0"}, false, HostMode::None, 0},
      {{"-window-id", "0x"}, false, HostMode::None, 0},
      {{"-window-id", "0x1g"}, false, HostMode::None, 0},
      {{"-window-id", "0x100000000"}, false, HostMode::None, 0},
      {{"-window-id"}, false, HostMode::None, 0},
      {{"/s"}, true, HostMode::None, 0},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.ok, c.ok) << line << p.error;
    if (!p.ok) continue;
    EXPECT_EQ(p.options.host, c.host) << line;
    EXPECT_EQ(p.options.windowId, c.windowId) << line;
  }
}

TEST(LongOptions, WhatIsNotOursStaysForTheSaverCommandLine) {
  const Parsed p = Parse({"--no-mirrors", "/p", "1234", "-fps", "--pictures", "/pics"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.noMirrors);
  EXPECT_TRUE(p.options.fpsOverlay);
  EXPECT_EQ(p.options.picturesDirectory, "/pics");
  EXPECT_EQ(p.options.rest, (std::vector<std::string>{"harbor-lights", "/p", "1234"}));
}

}  // namespace
}  // namespace hl
