// What the frame-rate overlay adds to a frame on the headless context: the
// box and two lines of text, with the state saved and restored around them.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include "platform/headless/headless_gl_context.h"
#include "renderer/fps_overlay.h"

namespace hl {
namespace {

void BM_FpsOverlayDraw(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  platform::HeadlessGlContext context;
  if (!context.Create(width, height)) {
    state.SkipWithError("no headless GL context");
    return;
  }
  FpsOverlay overlay;
  overlay.FrameDrawn(0);
  overlay.Slept(0.5);
  overlay.FrameDrawn(1.0);  // "FPS: 1.0", "Load: 50.0%"
  glFinish();
  for (auto _ : state) {
    overlay.Draw();
    glFinish();
  }
}
BENCHMARK(BM_FpsOverlayDraw)->Args({1280, 720})->Args({1920, 1080})->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hl
