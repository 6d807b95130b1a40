#include "bench/live_window_probe.h"

#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

}  // namespace bench
