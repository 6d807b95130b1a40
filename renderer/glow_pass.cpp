#include "renderer/glow_pass.h"

#include <cstring>
#include <vector>

#include "renderer/kaleidoscope_renderer.h"

namespace hl {

bool glowSupported = false;
GLuint glowTexture = 0;

void ProbeGlow() { ProbeGlow(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS))); }

void ProbeGlow(const char* extensions) {
  glowSupported = extensions && std::strstr(extensions, "GL_EXT_compiled_vertex_array") &&
                  std::strstr(extensions, "GL_ARB_multitexture");
  if (!glowSupported) return;
  glGenTextures(1, &glowTexture);
  glBindTexture(GL_TEXTURE_2D, glowTexture);
  {
    const std::vector<unsigned char> zeros(kGlowSize * kGlowSize * 4, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, kGlowSize, kGlowSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void CaptureGlow(KaleidoscopeRenderer& renderer, const WedgeConfig& config) {
  glViewport(0, 0, kGlowSize, kGlowSize);
  // The projection keeps the window's aspect: the square texture holds the
  // whole view squeezed, and the overlay stretches it back.
  renderer.DrawWedges(config);
  glBindTexture(GL_TEXTURE_2D, glowTexture);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, kGlowSize, kGlowSize, 0);
  // A clear ignores the viewport: the full-size drawing starts from black.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, renderer.width, renderer.height);
}

void CaptureGlow(KaleidoscopeRenderer& renderer, const WedgeConfig& config, const ViewRect& view) {
  glViewport(view.x, view.y, kGlowSize, kGlowSize);
  renderer.DrawWedges(config);
  glBindTexture(GL_TEXTURE_2D, glowTexture);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, view.x, view.y, kGlowSize, kGlowSize, 0);
  // The designed clear would wipe the views drawn already: this one only.
  glScissor(view.x, view.y, view.width, view.height);
  glEnable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glViewport(view.x, view.y, view.width, view.height);
}

void BeginOverlay2D() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, 640, 480, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void EndOverlay2D() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void DrawGlowOverlay(int copies, float step) {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, glowTexture);

  BeginOverlay2D();
  glBegin(GL_QUADS);
  float s = 0;
  float a = 0.1f;
  const float da = copies > 0 ? 0.1f / static_cast<float>(copies) : 0.0f;
  for (int i = 0; i < copies; ++i) {
    glColor4f(1, 1, 1, a);
    glTexCoord2f(s, 1 - s);
    glVertex2f(0, 0);
    glTexCoord2f(s, s);
    glVertex2f(0, 480);
    glTexCoord2f(1 - s, s);
    glVertex2f(640, 480);
    glTexCoord2f(1 - s, 1 - s);
    glVertex2f(640, 0);
    s += step;
    a -= da;
  }
  glEnd();
  EndOverlay2D();

  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace hl
