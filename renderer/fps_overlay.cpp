#include "renderer/fps_overlay.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>

namespace hl {
namespace {

// 5 x 7 glyphs, one byte per row from the top, bit 4 the leftmost column: only
// the characters the two lines use.
struct Glyph {
  char character;
  uint8_t rows[7];
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
};

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = 6;      // glyph and a column of space
constexpr int kLineHeight = 9;   // glyph and two rows of space
constexpr int kMargin = 4;       // from the corner to the backing box
constexpr int kPadding = 2;      // inside the box, around the text

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.character == c) return &g;
  }
  return nullptr;  // a space, or nothing we draw
}

// One font pixel as a square of `scale` screen pixels; x, y are the lower-left
// corner of the glyph cell in pixels, y upward.
void DrawText(const std::string& text, int x, int y, int scale) {
  for (char c : text) {
    if (const Glyph* g = FindGlyph(c)) {
      for (int row = 0; row < kGlyphHeight; ++row) {
        const int top = y + (kGlyphHeight - row) * scale;
        for (int column = 0; column < kGlyphWidth; ++column) {
          if (!(g->rows[row] & (0x10 >> column))) continue;
          const int left = x + column * scale;
          glVertex2i(left, top - scale);
          glVertex2i(left + scale, top - scale);
          glVertex2i(left + scale, top);
          glVertex2i(left, top);
        }
      }
    }
    x += kAdvance * scale;
  }
}

std::string Format(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

void FpsOverlay::FrameDrawn(double now) {
  if (!started_) {
    started_ = true;
    measureStart_ = now;
    frames_ = 0;
    slept_ = 0;
    return;
  }
  ++frames_;
  const double elapsed = now - measureStart_;
  if (elapsed < kUpdateSeconds) return;
  double load = (elapsed - slept_) / elapsed * 100.0;
  if (load < 0) load = 0;  // a sleep measured on a coarser clock than the frames
  fpsLine_ = Format("FPS: %.1f", frames_ / elapsed);
  loadLine_ = Format("Load: %.1f%%", load);
  measureStart_ = now;
  frames_ = 0;
  slept_ = 0;
}

void FpsOverlay::Slept(double seconds) {
  // A sleep before the first frame belongs to no measurement.
  if (started_) slept_ += seconds;
}

void FpsOverlay::Draw() const {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2], height = viewport[3];
  if (width <= 0 || height <= 0) return;
  // Font pixels grow with the screen: 1 on a preview box, 3 on 1080 lines.
  const int scale = height >= 360 ? height / 360 : 1;

  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_TRANSFORM_BIT |
               GL_LIGHTING_BIT | GL_TEXTURE_BIT | GL_DEPTH_BUFFER_BIT | GL_FOG_BIT);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_POLYGON_STIPPLE);
  glDisable(GL_COLOR_LOGIC_OP);
  glDisable(GL_DITHER);
  for (int plane = 0; plane < 6; ++plane) glDisable(GL_CLIP_PLANE0 + plane);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  const int longest = static_cast<int>(fpsLine_.size() > loadLine_.size() ? fpsLine_.size() : loadLine_.size());
  const int boxLeft = kMargin * scale, boxBottom = kMargin * scale;
  const int textLeft = boxLeft + kPadding * scale, textBottom = boxBottom + kPadding * scale;
  const int boxRight = textLeft + (longest * kAdvance - 1) * scale + kPadding * scale;
  const int boxTop = textBottom + (kLineHeight + kGlyphHeight) * scale + kPadding * scale;

  // A dark box keeps the text readable on the bright pictures, and over a
  // front-buffer scene it covers the figures drawn before.
  glBegin(GL_QUADS);
  glColor3f(0, 0, 0);
  glVertex2i(boxLeft, boxBottom);
  glVertex2i(boxRight, boxBottom);
  glVertex2i(boxRight, boxTop);
  glVertex2i(boxLeft, boxTop);
  glColor3f(1, 1, 1);
  DrawText(fpsLine_, textLeft, textBottom + kLineHeight * scale, scale);
  DrawText(loadLine_, textLeft, textBottom, scale);
  glEnd();

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();  // also the matrix mode, with the transform bit
  // As every frame ends: over a front-buffer scene nothing swaps to show it.
  glFlush();
}

}  // namespace hl
