// The live frame on software GL: the whole program drawing into its own
// 1280x720 window (-window) on a private Xvfb, measured as CPU time per
// presented frame (frames counted by the X server's damage reports on the
// window). The program runs as it is, then with GL_ARB_multitexture hidden
// from it (HARBOR_LIGHTS_HIDE_GL_EXTENSIONS), which keeps it on the plain GL
// 1.1 path of one blended pass per layer; the rounds alternate, and the figures of
// both print side by side with their ratio. Further programs given as
// arguments (an older build, say) are measured in the same rounds.
//
//   live-frame-bench [SECONDS] [PROGRAM...]
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
#include <vector>

#include "bench/live_window_probe.h"
#include "tests/support/xvfb_server.h"

namespace {

using bench::CpuSeconds;
using bench::FindWindowOfClass;

struct Variant {
  std::string name;
  std::string program;
  std::string hiddenExtensions;  // GL extensions the program is not to see
  double cpu = 0;
  double seconds = 0;
  long frames = 0;
};

// One run of `seconds`, added to the variant's totals; false when the window never showed.
bool Measure(Display* display, int damageEvent, const std::string& displayName, Variant& v, double seconds) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", displayName.c_str(), 1);
    if (!v.hiddenExtensions.empty()) setenv("HARBOR_LIGHTS_HIDE_GL_EXTENSIONS", v.hiddenExtensions.c_str(), 1);
    execl(v.program.c_str(), v.program.c_str(), "-window", static_cast<char*>(nullptr));
    _exit(127);
  }
  Window window = 0;
  for (int i = 0; i < 500 && !window; ++i) {
    window = FindWindowOfClass(display, DefaultRootWindow(display), "HarborLights");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!window) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
  }
  // Let start-up (pictures, first frames) pass before measuring.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const bench::Presented presented = bench::WatchPresentedFrames(display, damageEvent, window, pid, seconds);
  v.seconds += presented.seconds;
  v.cpu += presented.cpu;
  v.frames += presented.frames;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  // Events of the window that went away.
  XSync(display, True);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 8;
  std::vector<Variant> variants = {{"live frame", HL_PROGRAM_PATH, ""},
                                   {"GL 1.1 path", HL_PROGRAM_PATH, "-GL_ARB_multitexture"}};
  for (int i = 2; i < argc; ++i) variants.push_back({argv[i], argv[i], ""});

  testing_support::XvfbServer server;
  if (!server.Start("1920x1080x24")) {
    std::fprintf(stderr, "live-frame-bench: cannot start Xvfb\n");
    return 1;
  }
  Display* display = XOpenDisplay(server.Display().c_str());
  // Windows of finished runs vanish under their pending requests: not our concern.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  int damageEvent = 0, damageError = 0;
  if (!display || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
    std::fprintf(stderr, "live-frame-bench: no DAMAGE extension\n");
    return 1;
  }
  for (int round = 0; round < 2; ++round)
    for (Variant& v : variants)
      if (!Measure(display, damageEvent, server.Display(), v, seconds / 2)) {
        std::fprintf(stderr, "live-frame-bench: %s: the window did not show\n", v.name.c_str());
        return 1;
      }
  auto perFrame = [](const Variant& v) { return v.frames ? 1000.0 * v.cpu / v.frames : 0.0; };
  const double baseline = perFrame(variants[1]);
  for (const Variant& v : variants)
    std::printf("%-12s -window 1280x720, %.1f s: %5.1f frames/s, %.3f CPU s/s, %6.2f ms CPU per frame, %.2fx the GL 1.1 path\n",
                v.name.c_str(), v.seconds, v.frames / v.seconds, v.cpu / v.seconds, perFrame(v),
                baseline > 0 ? perFrame(v) / baseline : 0.0);
  XCloseDisplay(display);
  return 0;
}
