// Whole processes side by side: `harbor-lights --render` of one 1280x720 frame
// against a process that only creates the same EGL context and clears once,
// and against the least process that makes a comparable frame (two pictures
// decoded, mipmapped, drawn blended and read back). Reports wall time per run
// and the peak resident memory of each; the paired run gives the ratios.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Runs argv to completion; returns its peak resident set in KiB, or -1.
long RunProcess(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

void Measure(benchmark::State& state, const std::vector<std::string>& args) {
  long peak = 0;
  for (auto _ : state) {
    const long kib = RunProcess(args);
    if (kib < 0) {
      state.SkipWithError("the process failed");
      return;
    }
    peak = std::max(peak, kib);
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
}

// One 1280x720 frame into a folder of its own, again and again.
const std::vector<std::string> kOneFrameRender = {HL_PROGRAM_PATH, "--render", "/tmp/harbor-lights-bench-frame",
                                                  "--overwrite", "--seconds", "0.04", "--fps", "25",
                                                  "--size", "1280x720", "--seed", "1"};

void BM_ProcessRenderOneFrame(benchmark::State& state) { Measure(state, kOneFrameRender); }

void BM_ProcessContextAndClear(benchmark::State& state) { Measure(state, {HL_CLEAR_ONCE_PATH}); }

void BM_ProcessTwoPicturesOnce(benchmark::State& state) { Measure(state, {HL_TWO_PICTURES_ONCE_PATH}); }

// The two processes in turn, so that both see the same load on the machine.
void BM_OneFrameAgainstLeastComparable(benchmark::State& state) {
  const std::vector<std::string>& render = kOneFrameRender;
  const std::vector<std::string> baseline = {HL_TWO_PICTURES_ONCE_PATH};
  double renderSeconds = 0, baselineSeconds = 0;
  long renderPeak = 0, baselinePeak = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const long a = RunProcess(baseline);
    baselineSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    start = std::chrono::steady_clock::now();
    const long b = RunProcess(render);
    renderSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (a < 0 || b < 0) {
      state.SkipWithError("a process failed");
      return;
    }
    baselinePeak = std::max(baselinePeak, a);
    renderPeak = std::max(renderPeak, b);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["render_ms"] = renderSeconds / n * 1000;
  state.counters["baseline_ms"] = baselineSeconds / n * 1000;
  state.counters["time_ratio"] = renderSeconds / baselineSeconds;
  state.counters["render_peak_MiB"] = static_cast<double>(renderPeak) / 1024.0;
  state.counters["baseline_peak_MiB"] = static_cast<double>(baselinePeak) / 1024.0;
  state.counters["extra_peak_MiB"] = static_cast<double>(renderPeak - baselinePeak) / 1024.0;
}

BENCHMARK(BM_ProcessContextAndClear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ProcessRenderOneFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ProcessTwoPicturesOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_OneFrameAgainstLeastComparable)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
