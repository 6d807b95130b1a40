// Frame of a full-screen test scene on the headless context.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "renderer/kaleidoscope_renderer.h"

namespace hl {
namespace {

// One textured quad larger than the view: the same fill per copy as a layer of
// the real scene, without its pictures.
class FullScreenQuadScene : public Scene {
 public:
  using Scene::Scene;
  void Init() override {
    unsigned char texels[64 * 64 * 3];
    for (int i = 0; i < 64 * 64 * 3; ++i) texels[i] = static_cast<unsigned char>(i * 7);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  }
  void Begin() override {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  void End() override {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
  }
  void Draw() override {
    glColor4f(1, 1, 1, 0.8f);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex3f(-9, -9, 0);
    glTexCoord2f(1, 1);
    glVertex3f(9, -9, 0);
    glTexCoord2f(1, 0);
    glVertex3f(9, 9, 0);
    glTexCoord2f(0, 0);
    glVertex3f(-9, 9, 0);
    glEnd();
  }
  GLuint texture = 0;
};

Scene* MakeQuadScene(int index, KaleidoscopeRenderer* r) { return index == 0 ? new FullScreenQuadScene(r) : nullptr; }

void BM_FrameOfTestScene(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  platform::HeadlessGlContext context;
  if (!context.Create(width, height)) {
    state.SkipWithError("no headless GL context");
    return;
  }
  ResetRendererProcessState();
  OverrideSceneFactory(MakeQuadScene);
  KaleidoscopeRenderer renderer;
  renderer.Create(width, height);
  for (auto _ : state) {
    renderer.Frame();
    glFinish();  // count the drawing, not just the queueing
  }
  renderer.Destroy();
  OverrideSceneFactory(nullptr);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameOfTestScene)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hl
