#include "platform/headless/headless_gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/error_sink.h"

namespace platform {

struct HeadlessGlContext::Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
};

namespace {

std::string EglCause(const char* what) {
  char code[32];
  std::snprintf(code, sizeof code, " (error 0x%04x)", static_cast<unsigned>(eglGetError()));
  return std::string(what) + code;
}

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    bool startOk = p == list || p[-1] == ' ';
    bool endOk = p[n] == '\0' || p[n] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

}  // namespace

HeadlessGlContext::HeadlessGlContext() : egl_(std::make_unique<Egl>()) {}

HeadlessGlContext::~HeadlessGlContext() { Destroy(); }

bool HeadlessGlContext::Create(int width, int height) {
  Destroy();
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    ReportError("EGL", "the surfaceless platform (EGL_MESA_platform_surfaceless) is not available");
    return false;
  }
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    ReportError("EGL", "eglGetPlatformDisplayEXT is missing");
    return false;
  }
  egl_->display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (egl_->display == EGL_NO_DISPLAY || !eglInitialize(egl_->display, nullptr, nullptr)) {
    ReportError("EGL", EglCause("cannot initialise the surfaceless display"));
    egl_->display = EGL_NO_DISPLAY;
    return false;
  }
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE,        8,
                                     EGL_GREEN_SIZE,   8,               EGL_BLUE_SIZE,       8,
                                     EGL_ALPHA_SIZE,   8,               EGL_DEPTH_SIZE,      24,
                                     EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(egl_->display, configAttributes, &config, 1, &count) || count < 1) {
    ReportError("EGL", "no RGBA8 pbuffer config with depth for desktop OpenGL");
    Destroy();
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    ReportError("EGL", EglCause("desktop OpenGL is not supported"));
    Destroy();
    return false;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  egl_->surface = eglCreatePbufferSurface(egl_->display, config, surfaceAttributes);
  if (egl_->surface == EGL_NO_SURFACE) {
    ReportError("EGL", EglCause("cannot create the pbuffer"));
    Destroy();
    return false;
  }
  // A compatibility context: the renderer speaks OpenGL 1.1 immediate mode.
  egl_->context = eglCreateContext(egl_->display, config, EGL_NO_CONTEXT, nullptr);
  if (egl_->context == EGL_NO_CONTEXT) {
    ReportError("EGL", EglCause("cannot create an OpenGL context"));
    Destroy();
    return false;
  }
  if (!eglMakeCurrent(egl_->display, egl_->surface, egl_->surface, egl_->context)) {
    ReportError("EGL", EglCause("cannot make the context current"));
    Destroy();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void HeadlessGlContext::Destroy() {
  if (egl_->display == EGL_NO_DISPLAY) return;
  eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (egl_->context != EGL_NO_CONTEXT) eglDestroyContext(egl_->display, egl_->context);
  if (egl_->surface != EGL_NO_SURFACE) eglDestroySurface(egl_->display, egl_->surface);
  eglTerminate(egl_->display);
  *egl_ = Egl{};
  width_ = height_ = 0;
}

RgbaImage HeadlessGlContext::ReadPixels() const {
  RgbaImage image;
  image.width = width_;
  image.height = height_;
  image.pixels.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
  glFinish();
  GLint previousAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
  // GL's rows run bottom to top: turn them round in place, a row at a time.
  const size_t stride = static_cast<size_t>(width_) * 4;
  std::vector<uint8_t> row(stride);
  for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = &image.pixels[static_cast<size_t>(top) * stride];
    uint8_t* b = &image.pixels[static_cast<size_t>(bottom) * stride];
    std::memcpy(row.data(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, row.data(), stride);
  }
  return image;
}

}  // namespace platform
