#include "shell/monitor_views.h"

namespace hl {

std::vector<ViewRect> MonitorViews(const std::vector<platform::Rect>& monitors, int height, MonitorPolicy policy) {
  if (policy == MonitorPolicy::kOneView || monitors.empty()) return {};
  // An ordinary window on one monitor is drawn as designed even where part of
  // it lies off the screen.
  if (policy == MonitorPolicy::kWhenSeveral && monitors.size() < 2) return {};
  std::vector<ViewRect> views;
  for (const platform::Rect& m : monitors) {
    views.push_back({m.left, height - m.bottom, m.right - m.left, m.bottom - m.top});
  }
  return views;
}

void UpdateMonitorViews(KaleidoscopeRenderer& renderer, platform::WindowHandle window, MonitorPolicy policy) {
  if (policy == MonitorPolicy::kOneView) return;
  platform::Rect rect;
  if (!platform::GetWindowRect(window, &rect)) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  if (width != renderer.width || height != renderer.height) renderer.Resize(width, height);
  renderer.SetViews(MonitorViews(platform::GetMonitorRects(window), height, policy));
}

}  // namespace hl
