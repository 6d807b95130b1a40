#include "tests/support/xvfb_server.h"

#include "tests/support/display_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testing_support {

bool XvfbServer::Available() { return std::system("command -v Xvfb >/dev/null 2>&1") == 0; }

XvfbServer::~XvfbServer() { Stop(); }

bool XvfbServer::Start(const std::string& screen, const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"Xvfb", "-displayfd", "{fd}", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
  args.insert(args.end(), extra.begin(), extra.end());
  return StartDisplayServer(args, 20, &pid_, &display_);
}

void XvfbServer::Stop() { StopDisplayServer(&pid_, 2000); }

void XvfbServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int RunWithDisplay(const std::string& display, const std::string& command, std::string* output) {
  std::string line = "DISPLAY=" + display + " " + command;
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    if (output) output->append(buffer, n);
  }
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
