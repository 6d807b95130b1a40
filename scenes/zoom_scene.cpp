#include "scenes/zoom_scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "renderer/kaleidoscope_renderer.h"
#include "scenes/user_pictures.h"

namespace hl {

const char* const kZoomPictureNames[kZoomLayers] = {"JPEG_EYE", "JPEG_PELIROREL", "JPEG_PELIROEYE",
                                                     "JPEG_PELIROBALL"};

ZoomScene* currentZoomScene = nullptr;
float lastConfigSwitch = 0;

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

void ZoomLayer::DrawWedge(const WedgeCopy& copy) {
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

  auto vertex = [&](double u, double v, double x, double y) {
    glTexCoord2f(static_cast<float>(texX + (u + 1) * 0.5 * texW), static_cast<float>(texY + (1 - v) * 0.5 * texH));
    glVertex3f(static_cast<float>(x), static_cast<float>(y), 0);
  };
  auto corner = [&](const Corner& k) {
    double at[2];
    copy.Place(scale * (c * k.u - s * k.v), scale * (s * k.u + c * k.v), at);
    vertex(k.u, k.v, at[0], at[1]);
  };
  // Points on the seams come from the seam's shared direction and a distance
  // that does not depend on the copy: both sides of a seam draw the very same
  // vertices there.
  auto seam = [&](const Exit& e, const double* direction) {
    vertex(e.u, e.v, e.radius * direction[0], e.radius * direction[1]);
  };

  glColor4f(red, green, blue, alpha);
  glBindTexture(GL_TEXTURE_2D, currentZoomScene->textures[textureIndex].textureName);
  // Counter-clockwise in the kaleidoscope's plane: a mirrored copy runs the
  // wedge from its high edge back to its low one.
  glBegin(GL_TRIANGLE_FAN);
  vertex(0, 0, 0, 0);
  if (!copy.mirrored) {
    seam(low, copy.lowEdge);
    for (int k = 0; k < inside; ++k) corner(corners[k]);
    seam(high, copy.highEdge);
  } else {
    seam(high, copy.highEdge);
    for (int k = inside - 1; k >= 0; --k) corner(corners[k]);
    seam(low, copy.lowEdge);
  }
  glEnd();
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
  const std::vector<std::string> own = FirstPictureFiles(userPictureFolder, kZoomLayers);
  for (int i = 0; i < kZoomLayers; ++i) {
    const size_t slot = static_cast<size_t>(i);
    if (slot < own.size() && LoadUserPictureTexture(textures[i], own[slot])) continue;
    LoadPictureTexture(textures[i], kZoomPictureNames[i]);
  }
  glDisable(GL_LIGHTING);
  for (int i = 0; i < kZoomLayers; ++i) layers[i].Setup(i);
  glClearColor(0, 0, 0, 1);
}

void ZoomScene::Update() {
  for (int i = 0; i < kZoomLayers; ++i) layers[i].Update();
  const float now = renderer->timeSeconds;
  if (static_cast<double>(now) - lastConfigSwitch > kWedgeChangeSeconds) {
    lastConfigSwitch = now;
    renderer->PickRandomConfig(true);
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
  for (int i = 0; i < kZoomLayers; ++i) {
    if (!HasPicture(layers[i])) continue;
    if (skipInvisibleLayers && layers[i].alpha <= 0) continue;
    layers[i].DrawWedge(copy);
  }
}

void ZoomScene::Begin() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
}

void ZoomScene::End() {
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace hl
