#pragma once
// A private X server for one test: Xvfb started with -displayfd, so it picks a
// free display number itself and tells us which. Stopped by the destructor.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  static bool Available();  // an Xvfb binary is on PATH

  // Starts Xvfb with one screen of `screen` ("1280x1024x24") and any further
  // arguments ("-extension", "GLX"). Waits until it accepts clients.
  bool Start(const std::string& screen = "1280x1024x24", const std::vector<std::string>& extra = {});
  void Stop();      // SIGTERM, then wait
  void Kill();      // SIGKILL, as if the server died

  const std::string& Display() const { return display_; }  // ":N"
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Runs a command line with DISPLAY set; returns its exit status and standard output.
int RunWithDisplay(const std::string& display, const std::string& command, std::string* output = nullptr);

}  // namespace testing_support
