#include "shell/frame_loop.h"

#include <memory>

#include "platform/clock.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "renderer/fps_overlay.h"
#include "shell/run_mode.h"
#include "shell/saver_window.h"

namespace hl {

using namespace platform;

bool fpsOverlayByOption = false;
unsigned frameDelayMilliseconds = 10;

namespace {

const FpsOverlay* activeOverlay = nullptr;

double CounterSeconds(int64_t counter) {
  return static_cast<double>(counter) / static_cast<double>(QueryPerformanceFrequency());
}

}  // namespace

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
  const std::unique_ptr<FpsOverlay> overlay = fpsOverlayByOption ? std::make_unique<FpsOverlay>() : nullptr;
  activeOverlay = overlay.get();
  for (;;) {
    if (TerminationRequested() && IsWindow(window)) DestroyWindow(window);
    Message message;
    if (PeekMessage(&message)) {
      if (message.message == WM_QUIT) break;
      DispatchMessage(message);
      continue;
    }
    const bool present = frame();
    if (overlay) {
      overlay->FrameDrawn(CounterSeconds(QueryPerformanceCounter()));
      overlay->Draw();
    }
    if (present) SwapBuffers(window);
    if (overlay) {
      const int64_t before = QueryPerformanceCounter();
      platform::Sleep(frameDelayMilliseconds);
      overlay->Slept(CounterSeconds(QueryPerformanceCounter() - before));
    } else {
      platform::Sleep(frameDelayMilliseconds);
    }
  }
  activeOverlay = nullptr;
}

const FpsOverlay* ActiveFpsOverlay() { return activeOverlay; }

}  // namespace hl
