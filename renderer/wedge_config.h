#pragma once
// Wedge configurations: how many mirrored wedges make up the kaleidoscope and
// the two clip planes that cut one wedge, and the two-second blend between them.
//
// The arithmetic is done in double precision from single-precision constants and
// operands; a value is rounded only where it is stored in a field (to the field's
// type) or truncated to an integer. The counts of the table rest on that.

namespace hl {

// Degrees to radians, as the single-precision constant (not the exact pi/180).
constexpr float kDegreesToRadians = 0.01745328f;
// Scales a 15-bit random number to [0, 1): the float just below 1/32767.
constexpr float kRandomScale = 3.0518509e-05f;

constexpr int kWedgeTableSize = 7;
constexpr float kBlendSeconds = 2.0f;

struct WedgeConfig {
  float angle = 0;  // opening angle of one wedge, degrees
  int count = 0;    // wedges needed to go around the circle
  double planeA[4] = {0, 0, 0, 0};
  double planeB[4] = {0, 0, 0, 0};
};

// The wedge that starts straight down (270 degrees) and opens counter-clockwise
// by `angle`. A leftover of at most half a degree is not given a wedge of its own.
WedgeConfig BuildWedgeConfig(float angle);

// The table: entry k is the configuration of 10 + 2k wedges (36 degrees for
// 10 … 16.363636 for 22), the angle being 360 / n rounded to a float.
void FillWedgeTable(WedgeConfig table[kWedgeTableSize]);

// The blend between two wedge angles; one per process, owned by the renderer.
struct TransitionState {
  bool inTransition = false;
  float fromAngle = 0;
  float toAngle = 0;
  float startTime = 0;
  float duration = 0;
  WedgeConfig blended;
};
extern TransitionState transition;

// The angle the running blend has reached at parameter t (0…1), smoothstepped.
double BlendedAngle(double t);

// Rebuilds the blended configuration for renderer time `now`; a frame with
// t >= 1 ends the blend but still uses the record.
const WedgeConfig& BlendedConfig(float now);

}  // namespace hl
