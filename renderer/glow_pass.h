#pragma once
// The optional glow: the kaleidoscope is drawn small, copied into a 128 x 128
// luminance texture, and after the normal drawing that texture is laid over the
// view twelve times, each copy a little more magnified and fainter, added to
// the picture. Bright parts of the picture get a soft radial halo.
#include <GL/gl.h>

#include "renderer/wedge_config.h"

namespace hl {

class KaleidoscopeRenderer;
struct ViewRect;

constexpr int kGlowSize = 128;
constexpr int kGlowCopies = 12;
constexpr float kGlowStep = 0.02f;

// Program-wide glow state.
extern bool glowSupported;
extern GLuint glowTexture;

// Reads the context's extension string and probes it as below.
void ProbeGlow();

// The pass is supported when `extensions` names both extensions it was written
// for (a plain substring search for each); only then is the black, transparent
// capture texture created.
void ProbeGlow(const char* extensions);

// Draws the kaleidoscope at 128 x 128 and copies it into the glow texture, then
// clears the whole buffer and restores the renderer's viewport.
void CaptureGlow(KaleidoscopeRenderer& renderer, const WedgeConfig& config);

// The same for one of several views, at least 128 pixels on a side: the
// capture is drawn in the view's lower-left corner and only the view is
// cleared, so the views drawn before it keep their pixels. Leaves the view's
// viewport.
void CaptureGlow(KaleidoscopeRenderer& renderer, const WedgeConfig& config, const ViewRect& view);

// Adds `copies` magnified, fading copies of the glow texture over the view.
// Leaves depth testing on, blending, texturing and texgen off, no texture bound.
void DrawGlowOverlay(int copies, float step);

// A 640 x 480 overlay space, y downward, whatever the window size.
void BeginOverlay2D();
void EndOverlay2D();

}  // namespace hl
