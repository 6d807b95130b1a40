#include "scenes/zoom_scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "renderer/gl_extensions.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/user_pictures.h"

namespace hl {

const char* const kZoomPictureNames[kZoomLayers] = {"JPEG_EYE", "JPEG_PELIROREL", "JPEG_PELIROEYE",
                                                     "JPEG_PELIROBALL"};

ZoomScene* currentZoomScene = nullptr;
float lastConfigSwitch = 0;
bool deferHiddenPictures = false;

namespace {

float Now() { return currentZoomScene->renderer->timeSeconds; }

// A layer whose picture did not load has no size to zoom by, and nothing to show.
bool HasPicture(const ZoomLayer& layer) {
  return layer.zoomBase > 0 && currentZoomScene->textures[layer.textureIndex].textureName != 0;
}

}  // namespace

void ZoomLayer::Setup(int i) {
  position[0] = position[1] = position[2] = 0;
  textureIndex = i;
  scale = kSquareScale;
  phase = kArrivalEnd * static_cast<float>(i);
  zoomBase = static_cast<float>(currentZoomScene->textures[i].width);
  Restart();
}

void ZoomLayer::Restart() {
  red = green = blue = 1.0f;
  startTime = static_cast<float>(static_cast<double>(Now()) - static_cast<double>(phase) * kCycleSeconds);
}

void ZoomLayer::Update() {
  const double base = zoomBase;
  const double now = Now();
  phase = static_cast<float>((now - startTime) * static_cast<double>(kCycleRate));
  // A frame restarts the cycle at its own time, a frame late at most. A longer
  // step (the process stopped, the machine starved, a slow render) carries the
  // cycle on by whole cycles instead, as if every frame had been drawn: a
  // restart at this frame's time would pull all layers to the same moment and
  // leave them bunched for good.
  if (now - startTime - kCycleSeconds > kLongStepSeconds) {
    const double cycles = std::floor((now - startTime) / kCycleSeconds);
    startTime = static_cast<float>(startTime + cycles * kCycleSeconds);
    phase = std::max(0.0f, static_cast<float>((now - startTime) * static_cast<double>(kCycleRate)));
  }
  if (phase < kArrivalEnd) {
    alpha = static_cast<float>(4.0 * phase);
    if (base > 0) {
      texW = texH = static_cast<float>(1.0 / std::pow(base, 1.0 - 4.0 * phase));
      texX = texY = static_cast<float>(0.5 - texW * 0.5);
    }
  } else if (phase < kDepartureEnd) {
    const double q = (static_cast<double>(phase) - kArrivalEnd) * 4.0;
    alpha = static_cast<float>(1.0 - q);
    if (base > 0) {
      texW = texH = static_cast<float>(std::pow(base, q));
      texX = texY = static_cast<float>(0.5 - texW * 0.5);
    }
  } else {
    alpha = 0;  // resting: the window keeps its last values
  }
  if (phase > 1.0f) {
    phase = 0;
    Restart();  // the new cycle starts at this frame's time
  }
}

void ZoomLayer::Draw() {
  glPushMatrix();
  glTranslatef(position[0], position[1], position[2]);
  glRotatef(Now(), 0, 0, 1);  // one degree a second, every layer alike
  glScalef(scale, scale, scale);
  glColor4f(red, green, blue, alpha);
  glBindTexture(GL_TEXTURE_2D, currentZoomScene->textures[textureIndex].textureName);
  // t = 0 is the picture's top row: the picture stands upright before rotation.
  glBegin(GL_QUADS);
  glTexCoord2f(texX, texY + texH);
  glVertex3f(-1, -1, 0);
  glTexCoord2f(texX + texW, texY + texH);
  glVertex3f(1, -1, 0);
  glTexCoord2f(texX + texW, texY);
  glVertex3f(1, 1, 0);
  glTexCoord2f(texX, texY);
  glVertex3f(-1, 1, 0);
  glEnd();
  glPopMatrix();
}

int ZoomLayer::WedgeFan(const WedgeCopy& copy, FanVertex* out) const {
  constexpr double kPi = 3.14159265358979323846;
  // The square in the scene's plane is scale * R(now) * (u, v) for u, v in
  // -1 … 1, centred on the kaleidoscope's axis (the layers never move off it),
  // so the wedge's apex lies inside it. Everything below is worked out in the
  // scene's plane, the same for every copy; only placing it differs.
  const double turn = static_cast<double>(Now()) * (kPi / 180.0);
  const double c = std::cos(turn), s = std::sin(turn);
  const double a = copy.angle * (kPi / 180.0);

  // Where a ray from the apex leaves the square: the square's own coordinates
  // and the distance in the scene's plane.
  struct Exit {
    double u, v, radius;
  };
  auto leave = [&](double x, double y) {
    const double u = c * x + s * y, v = -s * x + c * y;
    const double t = 1.0 / std::max(std::fabs(u), std::fabs(v));
    return Exit{u * t, v * t, scale * t};
  };
  const Exit low = leave(0, -1);                          // the edge at 270 degrees
  const Exit high = leave(std::sin(a), -std::cos(a));  // the edge at 270 + angle

  // The square's corners strictly inside the wedge, by their angle from the low edge.
  struct Corner {
    double offset, u, v;
  };
  Corner corners[4];
  int inside = 0;
  for (int k = 0; k < 4; ++k) {
    const double u = (k == 0 || k == 3) ? 1 : -1, v = k < 2 ? 1 : -1;
    const double x = c * u - s * v, y = s * u + c * v;
    double offset = std::atan2(y, x) - 1.5 * kPi;
    while (offset < 0) offset += 2 * kPi;
    while (offset >= 2 * kPi) offset -= 2 * kPi;
    if (offset > 0 && offset < a) corners[inside++] = Corner{offset, u, v};
  }
  for (int k = 1; k < inside; ++k)  // at most one for wedges under 90 degrees
    for (int j = k; j > 0 && corners[j].offset < corners[j - 1].offset; --j) std::swap(corners[j], corners[j - 1]);

  int n = 0;
  auto corner = [&](const Corner& k) {
    double at[2];
    copy.Place(scale * (c * k.u - s * k.v), scale * (s * k.u + c * k.v), at);
    out[n++] = FanVertex{k.u, k.v, static_cast<float>(at[0]), static_cast<float>(at[1])};
  };
  // Points on the seams come from the seam's shared direction and a distance
  // that does not depend on the copy: both sides of a seam draw the very same
  // vertices there.
  auto seam = [&](const Exit& e, const double* direction) {
    out[n++] = FanVertex{e.u, e.v, static_cast<float>(e.radius * direction[0]),
                         static_cast<float>(e.radius * direction[1])};
  };
  // Counter-clockwise in the kaleidoscope's plane: a mirrored copy runs the
  // wedge from its high edge back to its low one.
  out[n++] = FanVertex{0, 0, 0, 0};
  if (!copy.mirrored) {
    seam(low, copy.lowEdge);
    for (int k = 0; k < inside; ++k) corner(corners[k]);
    seam(high, copy.highEdge);
  } else {
    seam(high, copy.highEdge);
    for (int k = inside - 1; k >= 0; --k) corner(corners[k]);
    seam(low, copy.lowEdge);
  }
  return n;
}

void ZoomLayer::TexCoord(const FanVertex& vertex, float* st) const {
  // The quad's corners (-1, -1) … (1, 1) carry the window's corners, t = 0 at the top.
  st[0] = static_cast<float>(texX + (vertex.u + 1) * 0.5 * texW);
  st[1] = static_cast<float>(texY + (1 - vertex.v) * 0.5 * texH);
}

void ZoomLayer::DrawWedge(const WedgeCopy& copy) {
  FanVertex fan[kMaxFanVertices];
  const int n = WedgeFan(copy, fan);
  glColor4f(red, green, blue, alpha);
  glBindTexture(GL_TEXTURE_2D, currentZoomScene->textures[textureIndex].textureName);
  glBegin(GL_TRIANGLE_FAN);
  for (int k = 0; k < n; ++k) {
    float st[2];
    TexCoord(fan[k], st);
    glTexCoord2f(st[0], st[1]);
    glVertex3f(fan[k].x, fan[k].y, 0);
  }
  glEnd();
}

bool OffersLayerCombining(const char* extensions, const char* hidden) {
  return ExtensionListed(extensions, "GL_ARB_multitexture", hidden) &&
         ExtensionListed(extensions, "GL_ARB_texture_env_combine", hidden) &&
         ExtensionListed(extensions, "GL_ARB_texture_env_crossbar", hidden);
}

ZoomScene::ZoomScene(KaleidoscopeRenderer* owner) : Scene(owner) { currentZoomScene = this; }

ZoomScene::~ZoomScene() {
  if (currentZoomScene == this) currentZoomScene = nullptr;
}

void ZoomScene::Init() {
  layers = std::make_unique<ZoomLayer[]>(kZoomLayers);
  textures = std::make_unique<PictureTexture[]>(kZoomLayers);
  // The user's own pictures, where there are any, take the embedded ones'
  // places; a layer whose file does not load keeps its embedded picture.
  bool own[kZoomLayers] = {};
  LoadUserPictures(userPictureFolder, textures.get(), kZoomLayers, own);
  for (int i = 0; i < kZoomLayers; ++i) {
    if (own[i]) continue;
    PictureTexture& t = textures[i];
    picturePending[i] = deferHiddenPictures && ReadPictureHeader(kZoomPictureNames[i], &t.width, &t.height, &t.bitsPerPixel);
    if (!picturePending[i]) LoadPictureTexture(t, kZoomPictureNames[i]);
  }
  glDisable(GL_LIGHTING);
  for (int i = 0; i < kZoomLayers; ++i) layers[i].Setup(i);
  glClearColor(0, 0, 0, 1);
}

void ZoomScene::Update() {
  for (int i = 0; i < kZoomLayers; ++i) layers[i].Update();
  LoadShownPictures();
  const float now = renderer->timeSeconds;
  if (static_cast<double>(now) - lastConfigSwitch > kWedgeChangeSeconds) {
    lastConfigSwitch = now;
    renderer->PickRandomConfig(true);
  }
}

void ZoomScene::LoadShownPictures() {
  for (int i = 0; i < kZoomLayers; ++i) {
    const int slot = layers[i].textureIndex;
    if (!picturePending[slot] || layers[i].alpha <= 0) continue;
    picturePending[slot] = false;
    LoadPictureTexture(textures[slot], kZoomPictureNames[slot]);
  }
}

void ZoomScene::Draw() {
  // Later layers blend over earlier ones; all lie at z = 0 and the depth test
  // (GL_LEQUAL) lets equal depths pass, so a skipped layer's depth is no loss.
  for (int i = 0; i < kZoomLayers; ++i) {
    if (!HasPicture(layers[i])) continue;
    if (skipInvisibleLayers && layers[i].alpha <= 0) continue;
    layers[i].Draw();
  }
}

void ZoomScene::DrawWedge(const WedgeCopy& copy) {
  int shown[kZoomLayers];
  int count = 0;
  for (int i = 0; i < kZoomLayers; ++i) {
    if (!HasPicture(layers[i])) continue;
    if (skipInvisibleLayers && layers[i].alpha <= 0) continue;
    shown[count++] = i;
  }
  // Where each pixel gets this copy alone, over the cleared black, two layers
  // blended one over the other are one sum: drawn in one pass.
  if (count == 2 && combineLayers && layerCombining_ && !copy.overlapped) {
    DrawTwoLayers(layers[shown[0]], layers[shown[1]], copy);
    return;
  }
  for (int k = 0; k < count; ++k) layers[shown[k]].DrawWedge(copy);
}

void ZoomScene::ProbeLayerCombining() {
  layerCombiningProbed_ = true;
  layerCombining_ = false;
  if (!OffersLayerCombining(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                            std::getenv("HARBOR_LIGHTS_HIDE_GL_EXTENSIONS"))) {
    return;
  }
  // Under their extension names, or the same functions as core GL 1.3 names them.
  void* active = GlProcAddress("glActiveTextureARB");
  if (!active) active = GlProcAddress("glActiveTexture");
  void* texCoord = GlProcAddress("glMultiTexCoord2fARB");
  if (!texCoord) texCoord = GlProcAddress("glMultiTexCoord2f");
  activeTexture_ = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(active);
  multiTexCoord_ = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(texCoord);
  GLint units = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  layerCombining_ = activeTexture_ && multiTexCoord_ && units >= 2;
}

// The designed passes over black give, per pixel, with layer 1 under layer 2
// (alphas a1, a2; an alpha picture shows white at a * its texel's alpha):
//   a2' C2 + (1 - a2') a1' C1,   a' = a * texel alpha,
// which unit 0 and unit 1 form in turn: unit 0 the lower layer's a1' C1 in
// colour and the upper layer's a2' in alpha (its texture read across from
// unit 1, its alpha from the vertex colour), unit 1 the mix of its own colour
// over that by that alpha. Written without blending, as nothing lies beneath.
void ZoomScene::DrawTwoLayers(const ZoomLayer& lower, const ZoomLayer& upper, const WedgeCopy& copy) {
  const PictureTexture& lowerPicture = textures[lower.textureIndex];
  const PictureTexture& upperPicture = textures[upper.textureIndex];
  const bool lowerGrey = lowerPicture.bitsPerPixel != 24;
  const bool upperGrey = upperPicture.bitsPerPixel != 24;
  FanVertex fan[kMaxFanVertices];
  const int n = lower.WedgeFan(copy, fan);  // every layer's square is the same

  glDisable(GL_BLEND);
  activeTexture_(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, upperPicture.textureName);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_INTERPOLATE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, upperGrey ? GL_CONSTANT_ARB : GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_PREVIOUS_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB_ARB, GL_PREVIOUS_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB_ARB, GL_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
  const GLfloat white[4] = {upper.red, upper.green, upper.blue, 1};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);

  activeTexture_(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, lowerPicture.textureName);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_MODULATE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, lowerGrey ? GL_SRC_ALPHA : GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_CONSTANT_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_MODULATE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_TEXTURE1_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, GL_PRIMARY_COLOR_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA_ARB, GL_SRC_ALPHA);
  const GLfloat lowerAlpha[4] = {lower.red, lower.green, lower.blue, lower.alpha};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, lowerAlpha);
  glColor4f(1, 1, 1, upper.alpha);

  glBegin(GL_TRIANGLE_FAN);
  for (int k = 0; k < n; ++k) {
    float st[2];
    lower.TexCoord(fan[k], st);
    multiTexCoord_(GL_TEXTURE0_ARB, st[0], st[1]);
    upper.TexCoord(fan[k], st);
    multiTexCoord_(GL_TEXTURE1_ARB, st[0], st[1]);
    glVertex3f(fan[k].x, fan[k].y, 0);
  }
  glEnd();

  // Back to one plain, modulating unit and blending.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  activeTexture_(GL_TEXTURE1_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  activeTexture_(GL_TEXTURE0_ARB);
  glEnable(GL_BLEND);
}

void ZoomScene::Begin() {
  if (!layerCombiningProbed_) ProbeLayerCombining();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  if (plainFiltersWhenMagnified) ChooseMinifyingFilters();
}

// A picture that every pixel shows magnified is filtered by its magnifying
// filter alone, whatever the minifying one: mipmapped, the driver still works
// out each pixel's level of detail before it finds that. The layers' squares
// lie square to the view, so a picture's texels per pixel are the same all
// over; below half a texel per pixel (a margin for the driver's estimate),
// the minifying filter is set to the plain linear one, which changes no pixel
// and spares that work.
void ZoomScene::ChooseMinifyingFilters() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  // The camera at 5.5 with a 90-degree field of view sees 11 units from top to bottom.
  const double pixelsPerUnit = viewport[3] / 11.0;
  for (int i = 0; i < kZoomLayers; ++i) {
    const ZoomLayer& layer = layers[i];
    PictureTexture& picture = textures[layer.textureIndex];
    if (!HasPicture(layer) || layer.alpha <= 0) continue;
    const double texelsPerPixel = layer.texW * layer.zoomBase / (2.0 * layer.scale * pixelsPerUnit);
    const bool plain = pixelsPerUnit > 0 && texelsPerPixel < 0.5;
    glBindTexture(GL_TEXTURE_2D, picture.textureName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, plain ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR);
  }
}

void ZoomScene::End() {
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace hl
