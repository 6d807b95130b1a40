#pragma once
// The frame-rate overlay: "FPS: 42.0" and "Load: 37.5%" in the lower-left
// corner, renewed about once a second. Load is the share of wall time spent
// outside the loop's sleeps. The time comes in from the caller (seconds on any
// monotonic clock), so tests can step it exactly; the text is drawn with a
// small bitmap font of our own as GL 1.1 quads, so it needs no window-system
// font and works on any context.
#include <string>

namespace hl {

class FpsOverlay {
 public:
  // The figures are renewed when a frame ends at least this long after the
  // frame that began the current measurement.
  static constexpr double kUpdateSeconds = 1.0;

  // A frame has been drawn; `now` is when it ended. Each frame after the first
  // closes one frame interval.
  void FrameDrawn(double now);
  // The loop slept `seconds` since the last frame.
  void Slept(double seconds);

  // The two lines as they show now; dashes until the first second has passed.
  const std::string& FpsLine() const { return fpsLine_; }
  const std::string& LoadLine() const { return loadLine_; }

  // Draws the two lines in the lower-left corner of the current viewport, into
  // whichever buffer is being drawn, and leaves every GL state it touches as it
  // found it (attributes and matrices are pushed and popped). Ends with a
  // flush, as a frame does, so it shows on the front buffer too.
  void Draw() const;

 private:
  bool started_ = false;
  double measureStart_ = 0;
  int frames_ = 0;
  double slept_ = 0;
  std::string fpsLine_ = "FPS: --.-";
  std::string loadLine_ = "Load: --.-%";
};

}  // namespace hl
