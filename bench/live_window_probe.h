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

}  // namespace bench
