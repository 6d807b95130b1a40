#include "scenes/zoom_scene.h"

#include <GL/gl.h>

#include <cmath>

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
  phase = static_cast<float>((static_cast<double>(Now()) - startTime) * static_cast<double>(kCycleRate));
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
