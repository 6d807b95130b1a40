// Decoding the four pictures, alone and with the mipmapped upload, on the
// headless context: what the zoom scene's Init costs.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include "platform/headless/headless_gl_context.h"
#include "platform/resources.h"
#include "scenes/picture_loader.h"

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
