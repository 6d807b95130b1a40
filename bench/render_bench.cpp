// --render's throughput at 1280x720, 30 frames, three ways in one run: the
// render as the program does it, the same frames encoded one after another by
// libpng (the render's former way), and the frames drawn and read back with
// nothing written (the floor). Counters give each in milliseconds and the
// render's share of the libpng way.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/linux/png_encoder.h"
#include "platform/linux/png_image.h"
#include "renderer/kaleidoscope_renderer.h"
#include "shell/offscreen_render.h"

namespace hl {
namespace {

constexpr int kWidth = 1280, kHeight = 720, kFrames = 30;
constexpr double kFps = 30;

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Draws the frames as the render does; `write` gets each, or nothing.
template <typename Write>
double DrawFrames(Write write) {
  const double start = Now();
  platform::VirtualTimeSource clock;
  clock.SetCalendarTime(1);
  platform::UseTimeSource(&clock);
  platform::HeadlessGlContext context;
  if (!context.Create(kWidth, kHeight)) return -1;
  ResetRendererProcessState();
  KaleidoscopeRenderer renderer;
  renderer.Create(kWidth, kHeight);
  for (long k = 0; k < kFrames; ++k) {
    clock.SetCounter(std::llround(static_cast<double>(k) * clock.CounterFrequency() / kFps));
    renderer.Frame(true);
    write(context.ReadPixels(), k);
  }
  renderer.Destroy();
  context.Destroy();
  platform::UseTimeSource(nullptr);
  return Now() - start;
}

void BM_RenderThroughput720p(benchmark::State& state) {
  const std::string folder = "/tmp/harbor-lights-bench-render";
  double render = 0, serial = 0, drawing = 0;
  for (auto _ : state) {
    std::system(("rm -rf '" + folder + "'; mkdir -p '" + folder + "'").c_str());
    drawing += DrawFrames([](const platform::RgbaImage&, long) {});
    serial += DrawFrames([&](const platform::RgbaImage& image, long k) {
      char name[32];
      std::snprintf(name, sizeof name, "/old-%05ld.png", k);
      std::string error;
      platform::WritePng(folder + name, image, &error, false);
    });
    RenderOptions options;
    options.directory = folder;
    options.seconds = kFrames / kFps;
    options.fps = kFps;
    options.seedGiven = true;
    options.seed = 1;
    options.overwrite = true;
    ResetRendererProcessState();
    const double start = Now();
    if (RunOffscreenRender(options, true) != 0) {
      state.SkipWithError("the render failed");
      return;
    }
    render += Now() - start;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["render_ms"] = render / n;
  state.counters["libpng_serial_ms"] = serial / n;
  state.counters["drawing_only_ms"] = drawing / n;
  state.counters["render_vs_libpng"] = render / serial;
  state.counters["render_vs_drawing"] = render / drawing;
  std::system(("rm -rf '" + folder + "'").c_str());
}

// One 1280x720 frame encoded, the two ways: the render's encoder (libdeflate)
// and libpng with zlib at the same filter and level 1.
platform::RgbaImage OneFrame() {
  platform::RgbaImage frame;
  DrawFrames([&](const platform::RgbaImage& image, long k) {
    if (k == kFrames - 1) frame = image;
  });
  return frame;
}

void BM_EncodeFrameLibdeflate(benchmark::State& state) {
  const platform::RgbaImage frame = OneFrame();
  std::vector<uint8_t> bytes;
  std::string error;
  for (auto _ : state) platform::EncodePng(frame, false, &bytes, &error);
  state.counters["KiB"] = static_cast<double>(bytes.size()) / 1024;
}

void BM_EncodeFrameLibpng(benchmark::State& state) {
  const platform::RgbaImage frame = OneFrame();
  std::FILE* sink = std::tmpfile();
  std::string error;
  for (auto _ : state) {
    std::rewind(sink);
    platform::WritePng(sink, "frame", frame, &error, false);
  }
  state.counters["KiB"] = static_cast<double>(std::ftell(sink)) / 1024;
  std::fclose(sink);
}

BENCHMARK(BM_EncodeFrameLibdeflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeFrameLibpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderThroughput720p)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace hl
