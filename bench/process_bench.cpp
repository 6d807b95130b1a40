// Whole processes side by side: `harbor-lights --render` of one 1280x720 frame
// against a process that only creates the same EGL context and clears once.
// Reports wall time per run and the peak resident memory of each.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

void BM_ProcessRenderOneFrame(benchmark::State& state) {
  const std::string dir = "/tmp/harbor-lights-bench-frame";
  Measure(state, {HL_PROGRAM_PATH, "--render", dir, "--overwrite", "--seconds", "0.04", "--fps", "25", "--size", "1280x720",
                  "--seed", "1"});
}

void BM_ProcessContextAndClear(benchmark::State& state) { Measure(state, {HL_CLEAR_ONCE_PATH}); }

BENCHMARK(BM_ProcessContextAndClear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ProcessRenderOneFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
