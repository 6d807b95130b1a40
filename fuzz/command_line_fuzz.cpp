// The command line as a process receives it: the input is split at NUL bytes
// into an argument vector (program token first) and read by our options, then
// what is left goes, joined, to the screen-saver switch parser; the raw input
// is also parsed as a whole command line. Nothing may crash, and what comes
// out must hold what the program relies on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/long_options.h"
#include "shell/saver_main.h"

namespace {

#define CHECK(condition)                                                     \
  do {                                                                       \
    if (!(condition)) {                                                      \
      std::fprintf(stderr, "command_line_fuzz: %s fails\n", #condition); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

constexpr size_t kMaxArguments = 64;

void CheckSaverCommandLine(const std::string& line) {
  const hl::SaverCommandLine parsed = hl::ParseSaverCommandLine(line);
  CHECK(parsed.mode >= hl::RunNone && parsed.mode <= hl::RunSaver);
  CHECK(!parsed.foregroundParent || parsed.mode == hl::RunConfig);
  CHECK(parsed.parent <= UINT32_MAX);
  if (parsed.mode == hl::RunSaver || parsed.mode == hl::RunNone) CHECK(parsed.parent == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckSaverCommandLine(input);

  std::vector<std::string> arguments = {"harbor-lights"};
  for (size_t start = 0; start <= input.size() && arguments.size() < kMaxArguments;) {
    size_t end = input.find('\0', start);
    if (end == std::string::npos) end = input.size();
    arguments.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());

  hl::LongOptions options;
  std::string error;
  if (!hl::ParseLongOptions(static_cast<int>(argv.size()), argv.data(), &options, &error)) {
    CHECK(!error.empty());
    for (const char c : error) CHECK(c != '\n' && c != '\r');  // one line, whatever was typed
    return 0;
  }
  CHECK(!options.rest.empty() && options.rest[0] == "harbor-lights");
  if (options.help || options.version) return 0;
  if (options.render) {
    const hl::RenderOptions& r = options.renderOptions;
    CHECK(!r.directory.empty());
    CHECK(r.fps > 0 && r.fps <= hl::kMaxRenderFps && r.seconds > 0);
    CHECK(r.FrameCount() >= 1 && r.FrameCount() <= hl::kMaxRenderFrames);
    CHECK(r.width >= 1 && r.width <= hl::kMaxFrameSide && r.height >= 1 && r.height <= hl::kMaxFrameSide);
    CHECK(options.rest.size() == 1 && options.host == hl::HostMode::None);
    return 0;
  }
  if (options.host == hl::HostMode::WindowId) CHECK(options.windowId != 0 && options.windowId <= UINT32_MAX);
  if (options.host != hl::HostMode::None && options.host != hl::HostMode::Window) {
    CHECK(!options.geometry.given);
  }
  if (options.geometry.given) {
    CHECK(options.geometry.width >= 1 && options.geometry.width <= hl::kMaxFrameSide);
    CHECK(options.geometry.height >= 1 && options.geometry.height <= hl::kMaxFrameSide);
  }
  if (options.host != hl::HostMode::None) CHECK(options.rest.size() == 1);
  CheckSaverCommandLine(hl::JoinCommandLine(options.rest));
  return 0;
}
