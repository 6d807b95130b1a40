#include "scenes/scene.h"

#include "scenes/zoom_scene.h"

namespace hl {
namespace {
SceneFactory overrideFactory = nullptr;
}  // namespace

Scene* CreateScene(int index, KaleidoscopeRenderer* renderer) {
  if (overrideFactory) return overrideFactory(index, renderer);
  if (index != 0) return nullptr;
  return new ZoomScene(renderer);
}

void OverrideSceneFactory(SceneFactory factory) { overrideFactory = factory; }

}  // namespace hl
