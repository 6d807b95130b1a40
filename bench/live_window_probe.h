#pragma once
// What the live-window benchmarks need to watch the program from outside:
// its window, found by class on the X server, and the CPU it has used.
#include <X11/Xlib.h>
#include <sys/types.h>

namespace bench {

// The first window below `top` (depth first) whose WM_CLASS class is
// `windowClass`; 0 when there is none.
Window FindWindowOfClass(Display* display, Window top, const char* windowClass);

// User plus system CPU seconds process `pid` has used so far (0 when it is gone).
double CpuSeconds(pid_t pid);

// What a window showed over a stretch of time.
struct Presented {
  long frames = 0;     // damage reports on the window: one per presented frame
  double seconds = 0;  // how long it was watched
  double cpu = 0;      // CPU seconds process `pid` used meanwhile
};

// Watches `window` (drawn by process `pid`) for `seconds`, counting the X
// server's damage reports on it; `damageEvent` is the Damage extension's
// event base.
Presented WatchPresentedFrames(Display* display, int damageEvent, Window window, pid_t pid, double seconds);

}  // namespace bench
