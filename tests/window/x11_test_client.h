#pragma once
// A small X client of the test's own, and the saver run as a child process.
// Include after gtest: this header brings Xlib, whose None macro breaks gtest.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/linux/png_image.h"

namespace testing_support {

// One child process with DISPLAY set and its standard error kept in a file.
// What a window manager sends when the close box is pressed, from `display`.
void SendDeleteWindow(Display* display, Window window);

class SaverProcess {
 public:
  SaverProcess(const std::string& display, const std::vector<std::string>& args,
               const std::vector<std::string>& environment = {});
  ~SaverProcess();  // SIGKILL if still running
  pid_t Pid() const { return pid_; }
  // Waits up to `seconds` for the exit; the exit status, or -1 if it is still
  // running (or died of a signal).
  int WaitForExit(double seconds);
  bool Running();
  // After the end: the signal that ended the process (0 when it exited), and
  // whether it left a core.
  int EndingSignal() const { return ending_signal_; }
  bool DumpedCore() const { return dumped_core_; }
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  int status_ = -2;
  int ending_signal_ = 0;
  bool dumped_core_ = false;
  std::string stderrPath_;
};

class TestClient {
 public:
  explicit TestClient(const std::string& display);
  ~TestClient();
  bool Connected() const { return display_ != nullptr; }
  Display* display() const { return display_; }
  Window Root() const;

  // The first window below `top` (depth first) whose WM_CLASS class is
  // `windowClass`, waiting up to `seconds`; 0 when none shows.
  Window WaitForWindowOfClass(const std::string& windowClass, double seconds, Window top = 0);
  bool Exists(Window window);
  std::string Name(Window window);
  std::string ClassOf(Window window);
  XWindowAttributes Attributes(Window window);

  // A mapped top-level window with a white background.
  Window MakeWindow(int width, int height);
  void Destroy(Window window);
  // What a window manager's close box sends.
  void SendDeleteWindow(Window window);

  // Mean of R, G, B over the window's pixels on the screen, and the brightest
  // pixel's brightest channel.
  double MeanBrightness(Window window, int* brightest = nullptr);
  // The window's pixels as they show on the screen.
  platform::RgbaImage Capture(Window window);
  // The cursor on the screen has no visible pixel.
  bool CursorHidden();
  // Another client holds the keyboard grab; the pointer grab.
  bool KeyboardGrabbedElsewhere();
  bool PointerGrabbedElsewhere();

 private:
  Display* display_ = nullptr;
};

// Runs xdotool with the given arguments on `display`; true when it succeeded.
bool XdoTool(const std::string& display, const std::string& arguments);

}  // namespace testing_support
