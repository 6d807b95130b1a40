// Loading and saving the settings over a large registry file (260 KB), as the
// saver's start and the dialog's OK do. Each load sees a freshly written file,
// so nothing read before can stand in for it.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "shell/saver_settings.h"

namespace hl {
namespace {

constexpr size_t kFileBytes = 260 * 1024;

// 0: a long binary value as regedit exports it, wrapped over many lines;
// 1: hex lines whose continuation never ends (a file cut short, or edited by hand).
std::string LargeFile(int kind) {
  std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n";
  if (kind == 0) {
    text += "\"Blob\"=hex:00,";
    size_t column = 14;
    while (text.size() < kFileBytes) {
      text += "5a,";
      column += 3;
      if (column > 76) {
        text += "\\\n  ";
        column = 2;
      }
    }
    text += "00\n";
  } else {
    for (int i = 0; text.size() < kFileBytes; ++i) text += "\"Value" + std::to_string(i) + "\"=hex:01,02,03,\\\n";
  }
  return text;
}

class ConfigFolder {
 public:
  ConfigFolder() {
    char pattern[] = "/tmp/hl-settings-bench-XXXXXX";
    root_ = mkdtemp(pattern) ? pattern : "/tmp";
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    mkdir((root_ + "/harbor-lights").c_str(), 0700);
  }
  ~ConfigFolder() { std::system(("rm -rf '" + root_ + "'").c_str()); }
  void Write(const std::string& text) const {
    std::ofstream(root_ + "/harbor-lights/registry.reg", std::ios::binary | std::ios::trunc) << text;
  }

 private:
  std::string root_;
};

void BM_LoadSettings(benchmark::State& state) {
  ConfigFolder folder;
  const std::string text = LargeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    folder.Write(text);
    state.ResumeTiming();
    SaverSettings settings;
    LoadSystemSaverSettings(settings);
    LoadOwnSettings(settings);
    benchmark::DoNotOptimize(settings.useMirrors);
  }
  state.SetLabel(state.range(0) == 0 ? "one long value" : "unended continuation");
}
BENCHMARK(BM_LoadSettings)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->MinTime(0.2);

void BM_SaveSettings(benchmark::State& state) {
  ConfigFolder folder;
  const std::string text = LargeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    folder.Write(text);
    state.ResumeTiming();
    SaverSettings settings;
    settings.useMirrors = 1;
    settings.pictureFolder = "/srv/pictures";
    SaveOwnSettings(settings);
  }
  state.SetLabel(state.range(0) == 0 ? "one long value" : "unended continuation");
}
BENCHMARK(BM_SaveSettings)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->MinTime(0.2);

}  // namespace
}  // namespace hl
