#pragma once
// What the saver window and the daemon's windows share: the pixel format and GL
// context set-up, and the one loop that dispatches messages and draws frames.
#include <functional>

#include "platform/gl_window_context.h"
#include "platform/window_types.h"

namespace hl {

class FpsOverlay;

// Chooses, sets and describes the saver's pixel format on `window`: RGBA,
// double-buffered, 32 colour bits, nothing else asked for. Returns nullptr when
// it is set; otherwise the user-facing text of the failure, for the caller to
// show in its own way.
const char* SetUpPixelFormat(platform::WindowHandle window);

// Creates a GL context on `window` and makes it current; 0, with nothing left
// behind, when either step fails (the backend has said why).
platform::GlContextHandle CreateCurrentGlContext(platform::WindowHandle window);

// Releases the current context, then deletes `context`.
void ReleaseGlContext(platform::GlContextHandle context);

// Draws one frame; true when the caller should present it with a swap.
using FrameFunction = std::function<bool()>;

// Runs until the quit message: a waiting message is removed and dispatched
// first; only when the queue is empty is a frame drawn, the buffers swapped when
// it says so, and frameDelayMilliseconds slept (10 ms unless -delay says
// otherwise). A termination signal destroys `window`, so the loop ends
// through WM_DESTROY and the quit message like any other close.
// With fpsOverlayByOption (run_mode.h) the frame-rate overlay is drawn over
// each frame before the swap, in the viewport the frame leaves set; when the
// frame is not swapped (a front-buffer scene) it is drawn all the same.
void RunFrameLoop(platform::WindowHandle window, const FrameFunction& frame);

// The running loop's overlay, for tests; nullptr when none runs.
const FpsOverlay* ActiveFpsOverlay();

}  // namespace hl
