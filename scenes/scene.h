#pragma once
// The scene contract: what the renderer draws once per wedge copy, and the few
// yes/no questions that shape a frame. The ten operations keep their slot order.

namespace hl {

class KaleidoscopeRenderer;

class Scene {
 public:
  explicit Scene(KaleidoscopeRenderer* owner) : renderer(owner) {}

  virtual void Init() {}
  virtual void Update() {}
  virtual void Draw() {}
  virtual void Begin() {}
  virtual void End() {}
  virtual bool ClipsWedges() { return true; }
  virtual bool DrawsIncrementally() { return false; }
  virtual bool ExtraFlag() { return true; }
  virtual bool WantsGlow() { return false; }
  virtual bool UsesMirrors() { return true; }

  // The renderer deletes its scene through this pointer type.
  virtual ~Scene() = default;

  // Read-only for scenes: timeSeconds and PickRandomConfig.
  KaleidoscopeRenderer* renderer;
};

// Index 0 is the zoom scene; any other index yields no scene.
Scene* CreateScene(int index, KaleidoscopeRenderer* renderer);

// Tests and tools: make CreateScene hand out scenes of `factory` instead;
// nullptr restores the real factory.
using SceneFactory = Scene* (*)(int index, KaleidoscopeRenderer* renderer);
void OverrideSceneFactory(SceneFactory factory);

}  // namespace hl
