// Frame of the zoom scene beside its fill floor: the layers visible at the same
// time drawn once each as plain full-screen textured, blended quads, no wedges.
// The kaleidoscope's wedges should cost little beyond that floor.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"

namespace hl {
namespace {

constexpr int64_t kBenchMilliseconds = 15000;  // two layers visible, mid-zoom

struct ZoomFixture {
  bool Start(benchmark::State& state) {
    width = static_cast<int>(state.range(0));
    height = static_cast<int>(state.range(1));
    if (!context.Create(width, height)) {
      state.SkipWithError("no headless GL context");
      return false;
    }
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    platform::UseTimeSource(&clock);
    renderer.Create(width, height);
    clock.SetCounter(kBenchMilliseconds * clock.CounterFrequency() / 1000);
    renderer.Frame();
    return true;
  }
  ~ZoomFixture() {
    renderer.Destroy();
    platform::UseTimeSource(nullptr);
  }
  int width = 0, height = 0;
  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
};

void BM_ZoomFrame(benchmark::State& state) {
  ZoomFixture f;
  if (!f.Start(state)) return;
  for (auto _ : state) {
    f.renderer.Frame();
    glFinish();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ZoomFillFloor(benchmark::State& state) {
  ZoomFixture f;
  if (!f.Start(state)) return;
  auto* scene = static_cast<ZoomScene*>(f.renderer.scene.get());
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < kZoomLayers; ++i) {
      const ZoomLayer& l = scene->layers[i];
      if (l.alpha <= 0) continue;
      glColor4f(1, 1, 1, l.alpha);
      glBindTexture(GL_TEXTURE_2D, scene->textures[i].textureName);
      glBegin(GL_QUADS);
      glTexCoord2f(l.texX, l.texY + l.texH);
      glVertex2f(-1, -1);
      glTexCoord2f(l.texX + l.texW, l.texY + l.texH);
      glVertex2f(1, -1);
      glTexCoord2f(l.texX + l.texW, l.texY);
      glVertex2f(1, 1);
      glTexCoord2f(l.texX, l.texY);
      glVertex2f(-1, 1);
      glEnd();
    }
    glFlush();
    glFinish();
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The levers of the frame, each on or off, over moments spread across a whole
// cycle: {two layers in one pass, plain filters for magnified pictures}. The
// {0, 0} line is the GL 1.1 path of one blended pass per layer; compare the
// CPU columns (the driver's threads included).
void BM_ZoomFrameLevers(benchmark::State& state) {
  ZoomFixture f;
  if (!f.Start(state)) return;
  auto* scene = static_cast<ZoomScene*>(f.renderer.scene.get());
  scene->combineLayers = state.range(2) != 0;
  scene->plainFiltersWhenMagnified = state.range(3) != 0;
  int64_t ms = 0;
  for (auto _ : state) {
    ms = (ms + 7000) % 120000;
    f.clock.SetCounter(ms * f.clock.CounterFrequency() / 1000);
    f.renderer.Frame();
    glFinish();
  }
}

BENCHMARK(BM_ZoomFrameLevers)
    ->Args({1280, 720, 0, 0})
    ->Args({1280, 720, 1, 0})
    ->Args({1280, 720, 0, 1})
    ->Args({1280, 720, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

BENCHMARK(BM_ZoomFrame)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZoomFillFloor)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hl
