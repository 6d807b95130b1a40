// Decoding the four pictures, alone and with the mipmapped upload, on the
// headless context: what the zoom scene's Init costs.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/resources.h"
#include "scenes/picture_loader.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/user_pictures.h"
#include "scenes/zoom_scene.h"

namespace hl {
namespace {

const char* const kPictureNames[] = {"JPEG_EYE", "JPEG_PELIROREL", "JPEG_PELIROEYE", "JPEG_PELIROBALL"};

void BM_DecodePicture(benchmark::State& state) {
  const char* name = kPictureNames[state.range(0)];
  const platform::ResourceBytes bytes = platform::FindResourceBytes(name, platform::RT_RCDATA);
  for (auto _ : state) {
    PictureTexture record;
    if (!DecodePicture(record, bytes.data, bytes.size)) {
      state.SkipWithError("decode failed");
      return;
    }
    ReleasePicturePixels(record);
  }
  state.SetLabel(name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size));
}
BENCHMARK(BM_DecodePicture)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_LoadPictureTexture(benchmark::State& state) {
  platform::HeadlessGlContext context;
  if (!context.Create(64, 64)) {
    state.SkipWithError("no headless GL context");
    return;
  }
  const int first = state.range(0) < 4 ? static_cast<int>(state.range(0)) : 0;
  const int last = state.range(0) < 4 ? first : 3;
  for (auto _ : state) {
    for (int i = first; i <= last; ++i) {
      PictureTexture record;
      if (!LoadPictureTexture(record, kPictureNames[i])) {
        state.SkipWithError("load failed");
        return;
      }
      glFinish();  // count the upload and the mipmaps, not just the queueing
      state.PauseTiming();
      glDeleteTextures(1, &record.textureName);
      state.ResumeTiming();
    }
  }
  state.SetLabel(state.range(0) < 4 ? kPictureNames[first] : "all four");
}
// 0-3: one picture each; 4: the four in the zoom scene's order.
BENCHMARK(BM_LoadPictureTexture)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hl

// The user's folder: listing a folder of 100,000 entries, and reading a
// 20000 x 20000 picture (decoded at 1/8 and squared), each from fixtures made
// once in a temporary folder.
namespace hl {
namespace {

// Made on first use, removed when the program ends.
class BenchFixtures {
 public:
  BenchFixtures() {
    char pattern[] = "/tmp/hl-picture-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/nonexistent/hl-picture-bench";
  }
  ~BenchFixtures() {
    if (path_.rfind("/tmp/hl-picture-bench-", 0) == 0) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string BenchFolder() {
  static const BenchFixtures fixtures;
  return fixtures.Path();
}

void BM_FirstPictureFilesOfAHundredThousand(benchmark::State& state) {
  const std::string folder = BenchFolder() + "/many";
  if (mkdir(folder.c_str(), 0755) == 0) {
    for (int i = 0; i < 100000; ++i) {
      const std::string name = folder + "/entry-" + std::to_string(i) + (i % 2 ? ".jpg" : ".txt");
      const int fd = open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
      if (fd >= 0) close(fd);
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(FirstPictureFiles(folder, 4));
}
BENCHMARK(BM_FirstPictureFilesOfAHundredThousand)->Unit(benchmark::kMillisecond);

void BM_ReadUserPictureGiant(benchmark::State& state) {
  const std::string path = BenchFolder() + "/giant.jpg";
  if (access(path.c_str(), R_OK) != 0 &&
      std::system(("(printf 'P5\\n20000 20000\\n255\\n'; head -c 400000000 /dev/zero) | cjpeg -grayscale -quality 50 > '" +
                   path + "'")
                      .c_str()) != 0) {
    state.SkipWithError("cjpeg could not make the picture");
    return;
  }
  for (auto _ : state) {
    PictureTexture record;
    std::string reason;
    if (!ReadUserPicture(record, path, &reason)) {
      state.SkipWithError(reason.c_str());
      return;
    }
    ReleasePicturePixels(record);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["process_peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ReadUserPictureGiant)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hl

// A one-frame render's own work, in process: the renderer created (the zoom
// scene's Init with its pictures) and the frame at time 0 drawn and read
// back, with every picture decoded at start (0) and with the pictures whose
// layers are hidden left for later (1).
namespace hl {
namespace {

void BM_StartAndFirstFrame(benchmark::State& state) {
  platform::HeadlessGlContext context;
  if (!context.Create(1280, 720)) {
    state.SkipWithError("no headless GL context");
    return;
  }
  platform::VirtualTimeSource clock;
  platform::UseTimeSource(&clock);
  deferHiddenPictures = state.range(0) != 0;
  for (auto _ : state) {
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    clock.SetCounter(0);
    KaleidoscopeRenderer renderer;
    renderer.Create(1280, 720);
    renderer.Frame(true);
    benchmark::DoNotOptimize(context.ReadPixels());
    state.PauseTiming();
    renderer.Destroy();
    state.ResumeTiming();
  }
  deferHiddenPictures = false;
  platform::UseTimeSource(nullptr);
  state.SetLabel(state.range(0) ? "hidden pictures deferred" : "all pictures at start");
}
BENCHMARK(BM_StartAndFirstFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hl
