#include "bench/live_window_probe.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace bench {

Window FindWindowOfClass(Display* display, Window top, const char* windowClass) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, top, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XClassHint hint{};
    if (XGetClassHint(display, children[i], &hint)) {
      if (hint.res_class && std::string(hint.res_class) == windowClass) found = children[i];
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    if (!found) found = FindWindowOfClass(display, children[i], windowClass);
  }
  if (children) XFree(children);
  return found;
}

double CpuSeconds(pid_t pid) {
  const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
  FILE* f = std::fopen(stat.c_str(), "r");
  if (!f) return 0.0;
  unsigned long utime = 0, stime = 0;
  // Fields 14 and 15: user and system time in clock ticks.
  (void)std::fscanf(f, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
  std::fclose(f);
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

Presented WatchPresentedFrames(Display* display, int damageEvent, Window window, pid_t pid, double seconds) {
  using Clock = std::chrono::steady_clock;
  // The damage object goes with the window.
  XDamageCreate(display, window, XDamageReportRawRectangles);
  XSync(display, False);
  Presented presented;
  const double cpuStart = CpuSeconds(pid);
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == damageEvent + XDamageNotify) ++presented.frames;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  presented.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  presented.cpu = CpuSeconds(pid) - cpuStart;
  return presented;
}

}  // namespace bench
