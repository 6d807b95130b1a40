#pragma once
// The zoom scene: four pictures on large squares that turn one degree a second.
// Each layer runs a 120-second cycle: for 30 s its picture grows out of a single
// texel to fill the square while fading in, for the next 30 s it keeps
// shrinking into a repeated tiling while fading out, then it rests unseen for
// 60 s. The layers are 30 s apart, so one picture always arrives while the one
// before it departs: an endless zoom-out. Once a minute the scene asks the
// renderer for a new wedge configuration.
#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>

#include "scenes/picture_loader.h"
#include "scenes/scene.h"

namespace hl {

constexpr int kZoomLayers = 4;
constexpr float kCycleSeconds = 120.0f;
constexpr float kCycleRate = 0.008333334f;  // 1/120, as a float
constexpr float kArrivalEnd = 0.25f;
constexpr float kDepartureEnd = 0.5f;
constexpr float kSquareScale = 9.0f;
constexpr float kWedgeChangeSeconds = 60.0f;
// A step longer than this past a cycle's end is a stall, not a frame: the cycle
// keeps its own rhythm across it.
constexpr double kLongStepSeconds = 1.0;

// The pictures, in the order the layers load them.
extern const char* const kZoomPictureNames[kZoomLayers];

// A vertex of a layer's square cut to one wedge copy: where it lies in the
// square's own coordinates (-1 … 1, which give its texture coordinates) and
// in the kaleidoscope's plane.
struct FanVertex {
  double u, v;
  float x, y;
};
constexpr int kMaxFanVertices = 8;  // apex, two seam points, up to four corners

struct ZoomLayer {
  void Setup(int i);
  void Restart();
  void Update();
  void Draw();
  // The layer's square cut to one wedge copy, in the kaleidoscope's plane.
  void DrawWedge(const WedgeCopy& copy);
  int WedgeFan(const WedgeCopy& copy, FanVertex* out) const;
  void TexCoord(const FanVertex& vertex, float* st) const;

  float position[3] = {0, 0, 0};
  float phase = 0;
  float startTime = 0;
  float scale = kSquareScale;
  float zoomBase = 0;  // the picture's width in pixels
  int textureIndex = 0;
  // The texture-coordinate window, always centred on (0.5, 0.5). Layers that
  // start at rest show nothing until they first arrive.
  float texX = 0;
  float texY = 0;
  float texW = 1;
  float texH = 1;
  float red = 1;
  float green = 1;
  float blue = 1;
  float alpha = 0;
};

class ZoomScene : public Scene {
 public:
  explicit ZoomScene(KaleidoscopeRenderer* renderer);
  ~ZoomScene() override;

  void Init() override;
  void Update() override;
  void Draw() override;
  void Begin() override;
  void End() override;
  bool CutsWedges() override { return true; }
  void DrawWedge(const WedgeCopy& copy) override;

  std::unique_ptr<ZoomLayer[]> layers;
  std::unique_ptr<PictureTexture[]> textures;

  // A layer at alpha 0 changes no pixel (about two of the four rest at any
  // time), so it is not drawn. Tests turn this off to prove that.
  bool skipInvisibleLayers = true;
  // Two shown layers are drawn in one multitextured pass where the driver
  // offers it. Tests turn this off to compare with the blended passes.
  bool combineLayers = true;
  // Pictures that show magnified everywhere are filtered without mipmaps
  // (the same pixels, less work). Tests turn this off to prove that.
  bool plainFiltersWhenMagnified = true;
  // Whether this context offers the one pass (known after the first frame).
  bool CanCombineLayers() const { return layerCombining_; }

  // Embedded pictures whose decoding waits for their layer's first visible
  // frame (see deferHiddenPictures); their size is already in `textures`.
  bool picturePending[kZoomLayers] = {};

 private:
  void LoadShownPictures();
  void ProbeLayerCombining();
  void ChooseMinifyingFilters();
  void DrawTwoLayers(const ZoomLayer& lower, const ZoomLayer& upper, const WedgeCopy& copy);

  bool layerCombiningProbed_ = false;
  bool layerCombining_ = false;
  PFNGLACTIVETEXTUREARBPROC activeTexture_ = nullptr;
  PFNGLMULTITEXCOORD2FARBPROC multiTexCoord_ = nullptr;
};

// Whether an extension list (GL_EXTENSIONS, less the names in `hidden`)
// offers what the one-pass drawing of two layers needs: several texture units
// whose results combine, each able to read another unit's texture.
bool OffersLayerCombining(const char* extensions, const char* hidden);

// Program-wide: when set before Init, the embedded pictures are decoded at the
// first frame their layer shows instead of all at start: a render of a few
// frames decodes only what it draws. The frames are the same either way.
extern bool deferHiddenPictures;

// Program-wide: the scene the layers draw from, and the renderer time of the
// last wedge change.
extern ZoomScene* currentZoomScene;
extern float lastConfigSwitch;

}  // namespace hl
