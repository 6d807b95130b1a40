// Pixel formats and GL contexts through GLX. A pixel format is a GLX-capable
// visual, named by its visual id. An X window's visual is fixed when the
// window is made, so our own windows are made with the GL visual from the
// start, and setting a format succeeds when the window already has it.
#include <X11/Xutil.h>

#include "platform/error_sink.h"
#include "platform/x11/x11_backend.h"

namespace platform {
namespace {

constexpr uint32_t kRequiredFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;

}  // namespace

XVisualInfo* X11Backend::GlVisual() {
  if (glVisualChosen_) return glVisual_;
  glVisualChosen_ = true;
  int errorBase = 0, eventBase = 0;
  if (!glXQueryExtension(display_, &errorBase, &eventBase)) return nullptr;
  // Colour only, as the pixel format asks: everything the scene draws lies in
  // one plane facing the camera, where the renderer's depth test (less or
  // equal) passes every fragment, so a depth buffer would only cost its reads
  // and writes. The chooser prefers a visual without one when none is asked for.
  int colourOnly[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  glVisual_ = glXChooseVisual(display_, screen_, colourOnly);
  return glVisual_;
}

bool X11Backend::VisualIsGlCapable(VisualID visual) {
  XVisualInfo pattern{};
  pattern.visualid = visual;
  int count = 0;
  XVisualInfo* info = XGetVisualInfo(display_, VisualIDMask, &pattern, &count);
  if (!info) return false;
  int useGl = 0, rgba = 0, doubleBuffer = 0;
  const bool ok = glXGetConfig(display_, info, GLX_USE_GL, &useGl) == 0 && useGl &&
                  glXGetConfig(display_, info, GLX_RGBA, &rgba) == 0 && rgba &&
                  glXGetConfig(display_, info, GLX_DOUBLEBUFFER, &doubleBuffer) == 0 && doubleBuffer;
  XFree(info);
  return ok;
}

int X11Backend::ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor) {
  if ((descriptor.dwFlags & kRequiredFlags) != kRequiredFlags || descriptor.iPixelType != PFD_TYPE_RGBA ||
      !(descriptor.dwFlags & PFD_DOUBLEBUFFER)) {
    return 0;
  }
  int errorBase = 0, eventBase = 0;
  if (!glXQueryExtension(display_, &errorBase, &eventBase)) {
    ReportError("GLX", std::string("the X server \"") + DisplayString(display_) + "\" has no GLX extension");
    return 0;
  }
  // A window that already has a fitting visual (ours, or one the screen-saver
  // daemon made for GL) keeps it.
  auto it = windows_.find(static_cast<Window>(window));
  if (it != windows_.end() && VisualIsGlCapable(it->second.visual)) return static_cast<int>(it->second.visual);
  if (XVisualInfo* gl = GlVisual()) return static_cast<int>(gl->visualid);
  ReportError("GLX", "no double-buffered RGBA visual");
  return 0;
}

bool X11Backend::SetPixelFormat(WindowHandle window, int format) {
  auto it = windows_.find(static_cast<Window>(window));
  if (it == windows_.end() || it->second.visual != static_cast<VisualID>(format)) {
    ReportError("GLX", "the window's visual is not the chosen one and cannot be changed");
    return false;
  }
  it->second.format = format;
  return true;
}

bool X11Backend::DescribePixelFormat(WindowHandle, int format, PixelFormatDescriptor* descriptor) {
  XVisualInfo pattern{};
  pattern.visualid = static_cast<VisualID>(format);
  int count = 0;
  XVisualInfo* info = XGetVisualInfo(display_, VisualIDMask, &pattern, &count);
  if (!info) return false;
  int value = 0;
  *descriptor = PixelFormatDescriptor{};
  descriptor->nVersion = 1;
  descriptor->dwFlags = kRequiredFlags;
  if (glXGetConfig(display_, info, GLX_DOUBLEBUFFER, &value) == 0 && value) descriptor->dwFlags |= PFD_DOUBLEBUFFER;
  descriptor->iPixelType = PFD_TYPE_RGBA;
  if (glXGetConfig(display_, info, GLX_BUFFER_SIZE, &value) == 0) descriptor->cColorBits = static_cast<uint8_t>(value);
  if (glXGetConfig(display_, info, GLX_DEPTH_SIZE, &value) == 0) descriptor->cDepthBits = static_cast<uint8_t>(value);
  if (glXGetConfig(display_, info, GLX_STENCIL_SIZE, &value) == 0) {
    descriptor->cStencilBits = static_cast<uint8_t>(value);
  }
  XFree(info);
  return true;
}

GlContextHandle X11Backend::CreateContext(WindowHandle window) {
  auto it = windows_.find(static_cast<Window>(window));
  if (it == windows_.end() || !it->second.format) return 0;
  XVisualInfo pattern{};
  pattern.visualid = static_cast<VisualID>(it->second.format);
  int count = 0;
  XVisualInfo* info = XGetVisualInfo(display_, VisualIDMask, &pattern, &count);
  if (!info) return 0;
  GLXContext context = glXCreateContext(display_, info, nullptr, True);
  if (!context) context = glXCreateContext(display_, info, nullptr, False);
  XFree(info);
  if (!context) ReportError("GLX", "cannot create an OpenGL context");
  return reinterpret_cast<GlContextHandle>(context);
}

bool X11Backend::MakeCurrent(WindowHandle window, GlContextHandle context) {
  {
    X11ErrorTrap trap(display_);
    const bool ok =
        glXMakeCurrent(display_, static_cast<GLXDrawable>(window), reinterpret_cast<GLXContext>(context));
    if (ok && !trap.Failed()) return true;
  }
  // A window that has just been destroyed (a preview's parent went) is no
  // failure of ours to report.
  X11ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (window && XGetWindowAttributes(display_, static_cast<Window>(window), &attributes) && !trap.Failed()) {
    ReportError("GLX", "cannot make the OpenGL context current");
  }
  return false;
}

bool X11Backend::SwapBuffers(WindowHandle window) {
  glXSwapBuffers(display_, static_cast<GLXDrawable>(window));
  return true;
}

void X11Backend::DeleteContext(GlContextHandle context) {
  glXDestroyContext(display_, reinterpret_cast<GLXContext>(context));
}

}  // namespace platform
