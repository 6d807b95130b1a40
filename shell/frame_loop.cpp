#include "shell/frame_loop.h"

#include "platform/clock.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "shell/saver_window.h"

namespace hl {

using namespace platform;

const char* SetUpPixelFormat(WindowHandle window) {
  PixelFormatDescriptor descriptor;
  descriptor.nVersion = 1;
  descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  descriptor.iPixelType = PFD_TYPE_RGBA;
  descriptor.cColorBits = 32;
  const int format = ChoosePixelFormat(window, descriptor);
  if (format == 0) return kChoosePixelFormatFailed;
  if (!SetPixelFormat(window, format, descriptor)) return kSetPixelFormatFailed;
  // Overwrites the descriptor with the chosen format; nothing reads it after.
  DescribePixelFormat(window, format, &descriptor);
  return nullptr;
}

GlContextHandle CreateCurrentGlContext(WindowHandle window) {
  const GlContextHandle context = CreateGlContext(window);
  if (!context || !MakeGlContextCurrent(window, context)) {
    DeleteGlContext(context);
    return 0;
  }
  return context;
}

void ReleaseGlContext(GlContextHandle context) {
  MakeGlContextCurrent(kNoWindow, 0);
  DeleteGlContext(context);
}

void RunFrameLoop(WindowHandle window, const FrameFunction& frame) {
  for (;;) {
    if (TerminationRequested() && IsWindow(window)) DestroyWindow(window);
    Message message;
    if (PeekMessage(&message)) {
      if (message.message == WM_QUIT) break;
      DispatchMessage(message);
      continue;
    }
    if (frame()) SwapBuffers(window);
    platform::Sleep(10);
  }
}

}  // namespace hl
