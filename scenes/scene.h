#pragma once
// The scene contract: what the renderer draws once per wedge copy, and the few
// yes/no questions that shape a frame. The ten operations keep their slot order.

namespace hl {

class KaleidoscopeRenderer;

// One copy of the scene in the kaleidoscope's ring, for a scene that cuts its
// own wedge. In the scene's own plane the wedge is always the sector from 270
// degrees counter-clockwise by `angle`; the copy turns it by `turnDegrees`,
// after mirroring it across x = 0 when `mirrored`. The images of its two edges
// come as unit directions in the kaleidoscope's plane: two copies that meet at
// a seam get the very same numbers for it, so wedges cut along them meet
// exactly, with neither a gap nor a doubled line between them.
struct WedgeCopy {
  double angle = 0;       // the wedge's opening angle, degrees
  double turnDegrees = 0;
  double cosTurn = 1;
  double sinTurn = 0;
  bool mirrored = false;
  // The ring this copy belongs to overlaps itself (a blend's last wedge over
  // its first): some pixels get more than one copy, by design.
  bool overlapped = false;
  double lowEdge[2] = {0, -1};  // image of the edge at 270 degrees
  double highEdge[2] = {0, -1};  // image of the edge at 270 + angle degrees

  // A point of the scene's plane in the kaleidoscope's plane.
  void Place(double x, double y, double* out) const {
    if (mirrored) x = -x;
    out[0] = cosTurn * x - sinTurn * y;
    out[1] = sinTurn * x + cosTurn * y;
  }
};

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

  // A scene that answers true draws each copy of a clipped frame with
  // DrawWedge, already cut to its wedge and placed in the kaleidoscope's plane
  // (counter-clockwise there, whether mirrored or not), instead of Draw under
  // the clip planes. Asked each DrawWedges, right after ClipsWedges.
  virtual bool CutsWedges() { return false; }
  virtual void DrawWedge(const WedgeCopy& copy) { (void)copy; }

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
