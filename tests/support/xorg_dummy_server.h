#pragma once
// A private Xorg for one test, with the dummy video driver: unlike Xvfb it has
// real RandR outputs (DUMMY0, DUMMY1, …) that xrandr can place side by side, so
// a test gets a display of several monitors. Started as root with a config file
// of its own in a temporary folder, input devices and VT switching off, and
// -displayfd to learn its display number. Stopped by the destructor.
#include <sys/types.h>

#include <string>

namespace testing_support {

class XorgDummyServer {
 public:
  XorgDummyServer() = default;
  ~XorgDummyServer();
  XorgDummyServer(const XorgDummyServer&) = delete;
  XorgDummyServer& operator=(const XorgDummyServer&) = delete;

  // Xorg and the dummy driver are installed, and we may start Xorg with a
  // config file of our own (only root may).
  static bool Available();

  // Starts with a framebuffer that can grow to `virtualWidth` x `virtualHeight`
  // and the one monitor DUMMY0 in its default mode. Waits until it accepts
  // clients.
  bool Start(int virtualWidth = 2048, int virtualHeight = 768);
  void Stop();  // SIGTERM, then wait; removes the temporary folder

  // Turns `output` on in `mode` ("1024x768") right of `leftOf`'s monitor, the
  // mode added to the output first.
  bool EnableOutput(const std::string& output, const std::string& mode, const std::string& rightOf);
  bool DisableOutput(const std::string& output);

  const std::string& Display() const { return display_; }  // ":N"
  pid_t Pid() const { return pid_; }
  // The server's log, for a failure message.
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string folder_;
};

}  // namespace testing_support
