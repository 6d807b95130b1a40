// Pixel formats and WGL contexts on the window's own device context (the
// saver's class has CS_OWNDC, so GetDC hands out the same context every time
// and releasing it changes nothing).
#include <cstring>

#include "platform/win32/system.h"

namespace platform {
namespace {

using win32::Hwnd;

static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the descriptor the design fills is 40 bytes");

HDC DeviceContext(WindowHandle window) { return window == kNoWindow ? nullptr : ::GetDC(Hwnd(window)); }

// A zeroed system descriptor with our fields filled in; every other field 0.
PIXELFORMATDESCRIPTOR SystemDescriptor(const PixelFormatDescriptor& ours) {
  PIXELFORMATDESCRIPTOR system;
  std::memset(&system, 0, sizeof system);
  system.nSize = sizeof system;
  system.nVersion = ours.nVersion;
  system.dwFlags = ours.dwFlags;
  system.iPixelType = ours.iPixelType;
  system.cColorBits = ours.cColorBits;
  system.cDepthBits = ours.cDepthBits;
  system.cStencilBits = ours.cStencilBits;
  return system;
}

}  // namespace

// The system's own formats and contexts; a backend installed by tests is not
// consulted on this platform.
void UseGlWindowBackend(GlWindowBackend*) {}

int ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor) {
  HDC dc = DeviceContext(window);
  if (!dc) return 0;
  const PIXELFORMATDESCRIPTOR system = SystemDescriptor(descriptor);
  return ::ChoosePixelFormat(dc, &system);
}

bool SetPixelFormat(WindowHandle window, int format, const PixelFormatDescriptor& descriptor) {
  HDC dc = DeviceContext(window);
  if (!dc) return false;
  const PIXELFORMATDESCRIPTOR system = SystemDescriptor(descriptor);
  return ::SetPixelFormat(dc, format, &system) != 0;
}

bool DescribePixelFormat(WindowHandle window, int format, PixelFormatDescriptor* descriptor) {
  HDC dc = DeviceContext(window);
  if (!dc) return false;
  PIXELFORMATDESCRIPTOR system;
  std::memset(&system, 0, sizeof system);
  if (!::DescribePixelFormat(dc, format, sizeof system, &system)) return false;
  descriptor->nSize = system.nSize;
  descriptor->nVersion = system.nVersion;
  descriptor->dwFlags = system.dwFlags;
  descriptor->iPixelType = system.iPixelType;
  descriptor->cColorBits = system.cColorBits;
  descriptor->cDepthBits = system.cDepthBits;
  descriptor->cStencilBits = system.cStencilBits;
  return true;
}

GlContextHandle CreateGlContext(WindowHandle window) {
  HDC dc = DeviceContext(window);
  if (!dc) return 0;
  HGLRC context = ::wglCreateContext(dc);
  if (!context) ReportError("WGL", "wglCreateContext failed, error " + std::to_string(::GetLastError()));
  return reinterpret_cast<uintptr_t>(context);
}

bool MakeGlContextCurrent(WindowHandle window, GlContextHandle context) {
  HGLRC system = reinterpret_cast<HGLRC>(static_cast<uintptr_t>(context));
  if (!::wglMakeCurrent(DeviceContext(window), system)) {
    if (context) ReportError("WGL", "wglMakeCurrent failed, error " + std::to_string(::GetLastError()));
    return false;
  }
  return true;
}

bool SwapBuffers(WindowHandle window) {
  HDC dc = DeviceContext(window);
  return dc && ::SwapBuffers(dc) != 0;
}

void DeleteGlContext(GlContextHandle context) {
  if (context) ::wglDeleteContext(reinterpret_cast<HGLRC>(static_cast<uintptr_t>(context)));
}

}  // namespace platform
