#include "tests/support/display_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testing_support {

bool StartDisplayServer(std::vector<std::string> args, int timeoutSeconds, pid_t* pid, std::string* display) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  for (std::string& a : args) {
    if (a == "{fd}") a = std::to_string(fds[1]);
  }
  *pid = fork();
  if (*pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (*pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    // Its own process group: a signal for the test's group leaves it alone.
    setpgid(0, 0);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&p, 1, 200) > 0) {
      char c;
      if (read(fds[0], &c, 1) <= 0 || c == '\n') break;
      number += c;
    }
  }
  close(fds[0]);
  if (number.empty()) {
    StopDisplayServer(pid, 2000);
    return false;
  }
  *display = ":" + number;
  return true;
}

void StopDisplayServer(pid_t* pid, int graceMilliseconds) {
  if (*pid <= 0) return;
  kill(*pid, SIGTERM);
  for (int waited = 0; waited < graceMilliseconds; waited += 20) {
    if (waitpid(*pid, nullptr, WNOHANG) == *pid) {
      *pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(*pid, SIGKILL);
  waitpid(*pid, nullptr, 0);
  *pid = -1;
}

}  // namespace testing_support
