#pragma once
// A window system of the test's own: windows are numbers, the pointer is where
// the test puts it, and "events" are messages the test queues, which reach the
// queue through PostMessage when the loop pumps, as the X11 backend's do.
#include <functional>
#include <vector>

#include "platform/gl_window_context.h"
#include "platform/window_system.h"

namespace testing_support {

class FakeWindowSystem : public platform::WindowSystem {
 public:
  static constexpr platform::CursorHandle kArrow = 7;

  platform::WindowHandle CreateNativeWindow(const char*, const char*, uint32_t style, int, int, int width, int height,
                                            platform::WindowHandle parent) override {
    created.push_back({style, width, height, parent});
    return ++lastWindow;
  }
  bool AttachForeignWindow(platform::WindowHandle) override { return false; }
  void DestroyNativeWindow(platform::WindowHandle window) override { destroyed.push_back(window); }
  void ShowNativeWindow(platform::WindowHandle window, int) override { shown.push_back(window); }
  bool WindowRect(platform::WindowHandle window, platform::Rect* rect) override {
    if (window != kPreviewParent) return false;
    *rect = platform::Rect{10, 20, 10 + 152, 20 + 112};
    return true;
  }
  int ScreenMetric(int index) override { return index == platform::SM_CXSCREEN ? 640 : 480; }
  platform::WindowHandle DesktopWindow() override { return 1; }
  bool CursorPos(platform::ScreenPoint* point) override {
    *point = pointer;
    return true;
  }
  platform::CursorHandle ArrowCursor() override { return kArrow; }
  void ShowCursorShape(platform::CursorHandle cursor) override { cursors.push_back(cursor); }
  void ActivateScreenSaver() override { ++screenSaverStarts; }
  void PumpEvents() override {
    if (onPump) onPump();
    for (const platform::Message& m : events) platform::PostMessage(m.window, m.message, m.wParam, m.lParam);
    events.clear();
  }

  struct Created {
    uint32_t style;
    int width;
    int height;
    platform::WindowHandle parent;
  };
  static constexpr platform::WindowHandle kPreviewParent = 5;

  platform::ScreenPoint pointer;
  std::vector<platform::Message> events;  // delivered at the next pump
  std::function<void()> onPump;
  std::vector<Created> created;
  std::vector<platform::WindowHandle> destroyed;
  std::vector<platform::WindowHandle> shown;
  std::vector<platform::CursorHandle> cursors;
  int screenSaverStarts = 0;

 private:
  platform::WindowHandle lastWindow = 100;
};

}  // namespace testing_support
