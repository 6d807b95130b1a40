// The monitors of the display, for drawing the kaleidoscope once on each:
// RandR 1.5's monitor list, else Xinerama's screens; and the RandR events that
// say the monitors changed.
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "platform/x11/x11_backend.h"

namespace platform {

void X11Backend::WatchMonitors() {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display_, &eventBase, &errorBase) || !XRRQueryVersion(display_, &major, &minor)) return;
  randrEventBase_ = eventBase;
  randrMonitors_ = major > 1 || (major == 1 && minor >= 5);
  int mask = RRScreenChangeNotifyMask;
  if (major > 1 || minor >= 2) mask |= RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;
  XRRSelectInput(display_, root_, mask);
}

bool X11Backend::TranslateMonitorEvent(XEvent& event) {
  if (randrEventBase_ < 0) return false;
  const int type = event.type - randrEventBase_;
  if (type != RRScreenChangeNotify && type != RRNotify) return false;
  // Keeps Xlib's idea of the screen's size in step with the server's.
  XRRUpdateConfiguration(&event);
  monitorsChanged_ = true;
  return true;
}

void X11Backend::PostDisplayChange() {
  monitorsChanged_ = false;
  const LParam size = MAKELPARAM(DisplayWidth(display_, screen_), DisplayHeight(display_, screen_));
  for (const auto& entry : windows_) {
    PostMessage(entry.first, WM_DISPLAYCHANGE, static_cast<WParam>(DefaultDepth(display_, screen_)), size);
  }
}

std::vector<Rect> X11Backend::ScreenMonitors() {
  std::vector<Rect> monitors;
  if (randrMonitors_) {
    int count = 0;
    if (XRRMonitorInfo* info = XRRGetMonitors(display_, root_, True, &count)) {
      for (int i = 0; i < count; ++i) {
        monitors.push_back({info[i].x, info[i].y, info[i].x + info[i].width, info[i].y + info[i].height});
      }
      XRRFreeMonitors(info);
    }
  }
  int eventBase = 0, errorBase = 0;
  if (monitors.empty() && XineramaQueryExtension(display_, &eventBase, &errorBase) && XineramaIsActive(display_)) {
    int count = 0;
    if (XineramaScreenInfo* info = XineramaQueryScreens(display_, &count)) {
      for (int i = 0; i < count; ++i) {
        monitors.push_back(
            {info[i].x_org, info[i].y_org, info[i].x_org + info[i].width, info[i].y_org + info[i].height});
      }
      XFree(info);
    }
  }
  // NOTE: cloned outputs report the same rectangle more than once; one
  // kaleidoscope is enough there.
  std::vector<Rect> distinct;
  for (const Rect& m : monitors) {
    const bool seen = std::any_of(distinct.begin(), distinct.end(), [&](const Rect& d) {
      return d.left == m.left && d.top == m.top && d.right == m.right && d.bottom == m.bottom;
    });
    if (!seen) distinct.push_back(m);
  }
  return distinct;
}

std::vector<Rect> X11Backend::MonitorRects(WindowHandle handle) {
  const Window window = static_cast<Window>(handle);
  X11ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes) || trap.Failed()) return {};
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, window, root_, 0, 0, &x, &y, &child);
  if (trap.Failed()) return {};
  std::vector<Rect> rects;
  for (const Rect& m : ScreenMonitors()) {
    const Rect cut{std::max(m.left, x) - x, std::max(m.top, y) - y, std::min(m.right, x + attributes.width) - x,
                   std::min(m.bottom, y + attributes.height) - y};
    if (cut.right > cut.left && cut.bottom > cut.top) rects.push_back(cut);
  }
  return rects;
}

}  // namespace platform
