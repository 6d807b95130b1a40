// Our own options and the screen-saver daemon's conventions, read before the
// Windows-style switches.
#include "shell/long_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
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
  EXPECT_EQ(p.options.mirrors, Choice::Off);
  EXPECT_TRUE(p.options.fpsOverlay);
  EXPECT_EQ(p.options.picturesDirectory, "/pics");
  EXPECT_EQ(p.options.rest, (std::vector<std::string>{"harbor-lights", "/p", "1234"}));
}

std::string Joined(const std::vector<const char*>& args) {
  std::string line;
  for (const char* a : args) line += std::string(a) + " ";
  return line;
}

TEST(LongOptions, HelpTakesTheLinuxFormsAndLeavesWindowsSwitchesAlone) {
  const struct {
    std::vector<const char*> args;
    bool help;
  } cases[] = {
      {{"-h"}, true},   {{"-help"}, true}, {{"--help"}, true}, {{"-root", "--help"}, true},
      {{"/?"}, false},  {{"-H"}, false},   {{"/h"}, false},    {{"-?"}, false},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_TRUE(p.ok) << Joined(c.args) << p.error;
    EXPECT_EQ(p.options.help, c.help) << Joined(c.args);
    if (!c.help) {
      EXPECT_EQ(p.options.rest.size(), 2u) << "left for the Windows switches: " << Joined(c.args);
    }
  }
}

TEST(LongOptions, DaemonConventionsRefuseWhatTheyDoNotKnowAndOpenAWindowOfTheirOwn) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    HostMode host;
    int width, height;
    bool placed;
    long delay;
  } cases[] = {
      {{"-window", "-geometry", "640x360"}, true, HostMode::Window, 640, 360, false, -1},
      {{"-window", "--geometry", "640x360+10+20"}, true, HostMode::Window, 640, 360, true, -1},
      {{"-geometry", "320x200"}, true, HostMode::Window, 320, 200, false, -1},
      {{"-fps"}, true, HostMode::Window, 1280, 720, false, -1},
      {{"-delay", "20000"}, true, HostMode::Window, 1280, 720, false, 20000},
      {{"-root", "-delay", "0"}, true, HostMode::Root, 1280, 720, false, 0},
      {{"-fps", "/s"}, true, HostMode::None, 1280, 720, false, -1},   // overlay on the designed saver
      {{"-fps", "/x"}, true, HostMode::None, 1280, 720, false, -1},   // an unknown Windows switch: nothing runs
      {{"-fps", "-p", "42"}, true, HostMode::None, 1280, 720, false, -1},
      {{"-fps", "-x"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-geometryx", "640x360"}, false, HostMode::None, 0, 0, false, 0},
      {{"-root", "-foo"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window-id", "42", "/s"}, false, HostMode::None, 0, 0, false, 0},
      {{"-root", "-geometry", "640x360"}, false, HostMode::None, 0, 0, false, 0},
      {{"/s", "-geometry", "640x360"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-geometry", "640x360-10-20"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-geometry", "640x360+10"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-geometry", "0x360"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-geometry"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-delay", "-5"}, false, HostMode::None, 0, 0, false, 0},
      {{"-window", "-delay", "10000001"}, false, HostMode::None, 0, 0, false, 0},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.ok, c.ok) << Joined(c.args) << p.error;
    if (!p.ok) {
      EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
      continue;
    }
    EXPECT_EQ(p.options.host, c.host) << Joined(c.args);
    EXPECT_EQ(p.options.geometry.width, c.width) << Joined(c.args);
    EXPECT_EQ(p.options.geometry.height, c.height) << Joined(c.args);
    EXPECT_EQ(p.options.geometry.placed, c.placed) << Joined(c.args);
    EXPECT_EQ(p.options.delayMicroseconds, c.delay) << Joined(c.args);
  }
  const Parsed placed = Parse({"-window", "-geometry", "640x360+10+20"});
  EXPECT_EQ(placed.options.geometry.x, 10);
  EXPECT_EQ(placed.options.geometry.y, 20);
}

TEST(LongOptions, MessagesEchoWhatWasTyped) {
  const Parsed id = Parse({"-window-id", "0x99999"});
  ASSERT_TRUE(id.ok) << id.error;
  EXPECT_EQ(id.options.windowId, 0x99999u);
  EXPECT_EQ(id.options.windowIdText, "0x99999");
  const struct {
    std::vector<const char*> args;
    const char* echoed;
  } cases[] = {
      {{"-root", "-geometryx"}, "-geometryx"},
      {{"-window-id", "0x1g"}, "0x1g"},
      {{"--render", "d", "--fps", "2e3"}, "2e3"},
      {{"--render", "d", "--size", "20000x10"}, "20000x10"},
      {{"--fps", "3"}, "--fps"},
      {{"-root", "-x\nrm\x1b[2J"}, "-x?rm?[2J"},  // control characters do not pass
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_FALSE(p.ok) << Joined(c.args);
    EXPECT_NE(p.error.find(c.echoed), std::string::npos) << p.error;
  }
}

TEST(LongOptions, RenderRefusesValuesThatCannotBeMeant) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    long frames;
  } cases[] = {
      {{"--render", "d", "--fps", "1000"}, true, 10000},
      {{"--render", "d", "--fps", "1000.5"}, false, 0},
      {{"--render", "d", "--seconds", "1000", "--fps", "1000"}, true, 1000000},
      {{"--render", "d", "--seconds", "1000.01", "--fps", "1000"}, false, 0},
      {{"--render", "d", "--seconds", "1e300"}, false, 0},
      {{"--render", "d", "--seconds", "0.001"}, true, 1},  // at least one frame
      {{"--render", "d", "--size", "16384x16384"}, true, 300},
      {{"--render", "d", "--size", "16385x1"}, false, 0},
      {{"--render", "-", "--overwrite"}, true, 300},
      {{"--overwrite"}, false, 0},  // goes with --render only
      {{"--render", "d", "-root"}, false, 0},
      {{"--render", "d", "-geometry", "10x10"}, false, 0},
      {{"--render", "d", "/s"}, false, 0},
      {{"--render", ""}, false, 0},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.ok, c.ok) << Joined(c.args) << p.error;
    if (p.ok) {
      EXPECT_EQ(p.options.renderOptions.FrameCount(), c.frames) << Joined(c.args);
    }
  }
  EXPECT_TRUE(Parse({"--render", "-"}).options.renderOptions.ToStream());
  EXPECT_FALSE(Parse({"--render", "./-"}).options.renderOptions.ToStream());
}

TEST(LongOptions, MirrorsTakeBothDirectionsAndTheLastWordWins) {
  const struct {
    std::vector<const char*> args;
    Choice mirrors;
  } cases[] = {
      {{"-root"}, Choice::Unset},
      {{"-root", "--mirrors"}, Choice::On},
      {{"-root", "--no-mirrors"}, Choice::Off},
      {{"-root", "--no-mirrors", "--mirrors"}, Choice::On},
      {{"/s", "-mirrors", "-no-mirrors"}, Choice::Off},
  };
  for (const auto& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_TRUE(p.ok) << Joined(c.args) << p.error;
    EXPECT_EQ(p.options.mirrors, c.mirrors) << Joined(c.args);
  }
}

// Each option the usage names is described in the man page too.
TEST(LongOptions, TheManPageCoversEveryOptionOfTheUsage) {
  std::ifstream file(std::string(HL_SOURCE_DIR) + "/docs/harbor-lights.6");
  std::stringstream text;
  text << file.rdbuf();
  std::string page = std::regex_replace(text.str(), std::regex(R"(\\-)"), "-");
  page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
  const std::string usage = UsageText();
  const std::regex option(R"((^|[\s\[|,(])(--?[a-z][a-z-]*[a-z]))");
  int count = 0;
  for (auto m = std::sregex_iterator(usage.begin(), usage.end(), option); m != std::sregex_iterator(); ++m) {
    const std::string name = (*m)[2];
    ++count;
    EXPECT_NE(page.find(name), std::string::npos) << name << " is in --help but not in the man page";
  }
  EXPECT_GT(count, 20);
}

// Every argument the daemon's settings tool may add from our XML, with each
// value a slider can give, is one the program takes beside -root.
TEST(LongOptions, TheDaemonsSettingsDescriptionPassesOnlyWhatWeTake) {
  std::ifstream file(std::string(HL_SOURCE_DIR) + "/resources/harbor-lights.xml");
  std::stringstream text;
  text << file.rdbuf();
  const std::string xml = text.str();
  ASSERT_FALSE(xml.empty());
  std::vector<std::vector<std::string>> argumentLists;
  const std::regex element(R"(<(boolean|number|file|string)\b([^>]*)/>)");
  const std::regex attribute(R"re(([-a-z_]+)="([^"]*)")re");
  bool mirrorsBothWays = false, picturesChooser = false, frameRate = false;
  for (auto e = std::sregex_iterator(xml.begin(), xml.end(), element); e != std::sregex_iterator(); ++e) {
    const std::string attributes = (*e)[2];
    std::map<std::string, std::string> a;
    for (auto m = std::sregex_iterator(attributes.begin(), attributes.end(), attribute); m != std::sregex_iterator();
         ++m) {
      a[(*m)[1]] = (*m)[2];
    }
    for (const char* key : {"arg-set", "arg-unset"}) {
      if (a.count(key)) argumentLists.push_back({a[key]});
    }
    if (a.count("arg")) {
      const std::string arg = a["arg"];
      const size_t percent = arg.find(" %");
      ASSERT_NE(percent, std::string::npos) << arg;
      std::vector<std::string> values = {"/tmp"};
      if ((*e)[1] == "number") values = {a["low"], a["high"], a["default"]};
      for (const std::string& v : values) argumentLists.push_back({arg.substr(0, percent), v});
    }
    mirrorsBothWays |= a["_label"] == "Use mirrors" && a.count("arg-set") && a.count("arg-unset");
    picturesChooser |= (*e)[1] == "file" && a["arg"] == "--pictures %";
    frameRate |= a["_label"] == "Frame rate" && a["arg"] == "-delay %" && a["default"] == "10000";
  }
  EXPECT_TRUE(mirrorsBothWays);
  EXPECT_TRUE(picturesChooser);
  EXPECT_TRUE(frameRate);
  ASSERT_GE(argumentLists.size(), 6u);
  for (const auto& list : argumentLists) {
    std::vector<const char*> args = {"-root"};
    for (const auto& a : list) args.push_back(a.c_str());
    const Parsed p = Parse(args);
    EXPECT_TRUE(p.ok) << Joined(args) << ": " << p.error;
    EXPECT_EQ(p.options.host, HostMode::Root) << Joined(args);
  }
}

}  // namespace
}  // namespace hl
