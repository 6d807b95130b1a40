#pragma once
// The kaleidoscope renderer: the view, the animation clock, the wedge table and
// the active scene. Each frame draws the scene as a ring of rotated and mirrored
// copies, each cut to its wedge by two clip planes.
#include <cstdint>
#include <memory>
#include <vector>

#include "renderer/wedge_config.h"
#include "scenes/scene.h"

namespace hl {

// A part of the window the kaleidoscope is drawn in, centred, with its own
// aspect: a monitor's share of a window that spans several. In GL's window
// coordinates (pixels, y upward from the bottom edge), as glViewport takes them.
struct ViewRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ViewRect& other) const {
    return x == other.x && y == other.y && width == other.width && height == other.height;
  }
};

class KaleidoscopeRenderer {
 public:
  // With the GL context current: seeds the random numbers, sets the view, fills
  // the wedge table, picks a configuration, starts the clock, makes scene 0.
  void Create(int width, int height);

  // The window's size changed: the viewport and the projection follow it, set
  // as Create sets them.
  void Resize(int width, int height);

  // The views to draw, each a whole kaleidoscope of the same animation. Empty,
  // or one view that is the whole window, is the designed single view; empty
  // or not, views that have no pixel are dropped. Changing back to the single
  // view restores its viewport and projection.
  void SetViews(std::vector<ViewRect> rects);

  // Draws one frame; true when the caller should swap buffers. The saver's
  // "Use Mirrors" option arrives as `mirrorsOption`: mirrors are drawn only
  // when both the scene and the option want them.
  bool Frame(bool mirrorsOption = true);

  // Deletes the scene. Its textures go with the GL context.
  void Destroy();

  void PickRandomConfig(bool animate);
  void SetConfig(int index, bool animate);

  void StartClock();
  void UpdateClock();
  void Tick();
  void DrawWedges(const WedgeConfig& config);
  // With several views: the view's viewport and its own projection, set as
  // Resize sets the window's.
  void UseView(const ViewRect& view);

  WedgeConfig configs[kWedgeTableSize];
  std::unique_ptr<Scene> scene;
  int width = 0;
  int height = 0;
  WedgeConfig* current = nullptr;
  bool mirrors = true;
  float timeSeconds = 0;
  std::vector<ViewRect> views;  // empty: the whole window
};

// Program-wide renderer state: one instance per process.
extern int initialFullClears;  // frames that still clear and present in full
extern bool clockStarted;
extern int64_t clockFrequency;
extern int64_t clockBase;

// Tests: returns the program-wide renderer state (clock, initial clears,
// transition, glow) to how a fresh process starts.
void ResetRendererProcessState();

}  // namespace hl
