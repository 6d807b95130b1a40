#pragma once
// Which parts of its window the kaleidoscope is drawn in: one whole
// kaleidoscope centred on each monitor the window shows on, or the window as
// one view. The window system gives the monitors in window coordinates (y
// downward); the renderer takes GL's (y upward from the bottom edge).
#include <vector>

#include "platform/window_system.h"
#include "renderer/kaleidoscope_renderer.h"

namespace hl {

enum class MonitorPolicy {
  kOneView,      // the preview and -window-id: the whole window, always
  kWhenSeveral,  // -window: a view per monitor once it spans two or more
  kFullScreen,   // /s and -root: a view per monitor, even one that shows only part of the window
};

// The renderer's views for `monitors` on a window `height` pixels high; empty
// for the whole window as one view.
std::vector<ViewRect> MonitorViews(const std::vector<platform::Rect>& monitors, int height, MonitorPolicy policy);

// Reads the window's size and its monitors and hands the renderer its views,
// resizing it first if the window's size changed. For WM_SIZE and
// WM_DISPLAYCHANGE, and once after the renderer's creation.
void UpdateMonitorViews(KaleidoscopeRenderer& renderer, platform::WindowHandle window, MonitorPolicy policy);

}  // namespace hl
