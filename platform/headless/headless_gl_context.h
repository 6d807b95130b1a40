#pragma once
// An offscreen OpenGL compatibility context (EGL, Mesa's surfaceless platform)
// whose framebuffer is a pbuffer of a fixed size. A pbuffer is single-buffered:
// front and back name the same pixels.
#include <memory>

#include "platform/linux/png_image.h"

namespace platform {

class HeadlessGlContext {
 public:
  HeadlessGlContext();
  ~HeadlessGlContext();
  HeadlessGlContext(const HeadlessGlContext&) = delete;
  HeadlessGlContext& operator=(const HeadlessGlContext&) = delete;

  // Creates the context with an RGBA8 colour buffer and a 24-bit depth buffer
  // and makes it current. Reports one line through the error sink on failure.
  bool Create(int width, int height);
  void Destroy();

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Reads the whole framebuffer, top row first.
  RgbaImage ReadPixels() const;

 private:
  struct Egl;
  std::unique_ptr<Egl> egl_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace platform
