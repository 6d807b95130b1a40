#pragma once
// Pixel formats and OpenGL contexts on a window, in the shape of the Windows
// calls the design makes. A window stands for its own device context: the
// saver's window class owns its DC, and X windows have none.
#include <cstdint>

#include "platform/window_types.h"

namespace platform {

constexpr uint32_t PFD_DOUBLEBUFFER = 0x00000001;
constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr uint32_t PFD_SUPPORT_OPENGL = 0x00000020;
constexpr uint8_t PFD_TYPE_RGBA = 0;

// The fields the saver fills in; the rest of the system's descriptor is zero.
struct PixelFormatDescriptor {
  uint16_t nSize = 40;
  uint16_t nVersion = 0;
  uint32_t dwFlags = 0;
  uint8_t iPixelType = 0;
  uint8_t cColorBits = 0;
  uint8_t cDepthBits = 0;
  uint8_t cStencilBits = 0;
};

using GlContextHandle = uint64_t;  // 0: none

class GlWindowBackend {
 public:
  virtual ~GlWindowBackend() = default;
  virtual int ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor) = 0;
  virtual bool SetPixelFormat(WindowHandle window, int format) = 0;
  virtual bool DescribePixelFormat(WindowHandle window, int format, PixelFormatDescriptor* descriptor) = 0;
  virtual GlContextHandle CreateContext(WindowHandle window) = 0;
  virtual bool MakeCurrent(WindowHandle window, GlContextHandle context) = 0;
  virtual bool SwapBuffers(WindowHandle window) = 0;
  virtual void DeleteContext(GlContextHandle context) = 0;
};

// ConnectWindowSystem installs the backend's; tests may install their own.
void UseGlWindowBackend(GlWindowBackend* backend);

// 0 when no format fits the descriptor.
int ChoosePixelFormat(WindowHandle window, const PixelFormatDescriptor& descriptor);
bool SetPixelFormat(WindowHandle window, int format, const PixelFormatDescriptor& descriptor);
bool DescribePixelFormat(WindowHandle window, int format, PixelFormatDescriptor* descriptor);
GlContextHandle CreateGlContext(WindowHandle window);
// With kNoWindow and 0, releases the current context.
bool MakeGlContextCurrent(WindowHandle window, GlContextHandle context);
bool SwapBuffers(WindowHandle window);
void DeleteGlContext(GlContextHandle context);

}  // namespace platform
