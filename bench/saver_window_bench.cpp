// The whole program drawing in its own 1280x720 window (-window) on a private
// Xvfb for ten seconds: frames drawn, counted by the X server's damage reports
// on that window (one per presented frame), and the CPU seconds the process
// used per second. Prints one line of figures.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/live_window_probe.h"
#include "tests/support/xvfb_server.h"

namespace {

using bench::FindWindowOfClass;

}  // namespace

int main() {
  const double seconds = 10;
  testing_support::XvfbServer server;
  if (!server.Start("1920x1080x24")) {
    std::fprintf(stderr, "saver-window-bench: cannot start Xvfb\n");
    return 1;
  }
  Display* display = XOpenDisplay(server.Display().c_str());
  int damageEvent = 0, damageError = 0;
  if (!display || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
    std::fprintf(stderr, "saver-window-bench: no DAMAGE extension\n");
    return 1;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", server.Display().c_str(), 1);
    execl(HL_PROGRAM_PATH, HL_PROGRAM_PATH, "-window", static_cast<char*>(nullptr));
    _exit(127);
  }
  Window window = 0;
  for (int i = 0; i < 500 && !window; ++i) {
    window = FindWindowOfClass(display, DefaultRootWindow(display), "HarborLights");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!window) {
    std::fprintf(stderr, "saver-window-bench: the window did not show\n");
    kill(pid, SIGKILL);
    return 1;
  }
  // Let start-up (pictures, first frames) pass before measuring.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const bench::Presented presented = bench::WatchPresentedFrames(display, damageEvent, window, pid, seconds);
  const long reports = presented.frames;
  const double elapsed = presented.seconds;
  const double cpu = presented.cpu;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  std::printf("harbor-lights -window 1280x720 on Xvfb, %.1f s: %ld frames (%.1f per second), %.3f CPU s per s\n",
              elapsed, reports, reports / elapsed, cpu / elapsed);
  XCloseDisplay(display);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
