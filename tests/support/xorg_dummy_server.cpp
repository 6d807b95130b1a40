#include "tests/support/xorg_dummy_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/xvfb_server.h"

namespace testing_support {
namespace {

std::string Config(int virtualWidth, int virtualHeight) {
  // Room for the whole virtual framebuffer twice over, in kilobytes.
  const long videoRam = std::max(32768L, 2L * virtualWidth * virtualHeight * 4 / 1024);
  std::ostringstream text;
  text << "Section \"ServerFlags\"\n"
          "  Option \"AutoAddDevices\" \"false\"\n"
          "  Option \"AutoEnableDevices\" \"false\"\n"
          "  Option \"DontVTSwitch\" \"true\"\n"
          "EndSection\n"
          "Section \"Device\"\n"
          "  Identifier \"dummy\"\n"
          "  Driver \"dummy\"\n"
          "  VideoRam "
       << videoRam
       << "\n"
          "EndSection\n"
          "Section \"Monitor\"\n"
          "  Identifier \"monitor\"\n"
          "  HorizSync 5.0-1000.0\n"
          "  VertRefresh 5.0-200.0\n"
          "EndSection\n"
          "Section \"Screen\"\n"
          "  Identifier \"screen\"\n"
          "  Device \"dummy\"\n"
          "  Monitor \"monitor\"\n"
          "  DefaultDepth 24\n"
          "  SubSection \"Display\"\n"
          "    Depth 24\n"
          "    Virtual "
       << virtualWidth << " " << virtualHeight
       << "\n"
          "  EndSubSection\n"
          "EndSection\n"
          "Section \"ServerLayout\"\n"
          "  Identifier \"layout\"\n"
          "  Screen \"screen\"\n"
          "EndSection\n";
  return text.str();
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

bool XorgDummyServer::Available() {
  return geteuid() == 0 && std::system("command -v Xorg >/dev/null 2>&1") == 0 &&
         std::system("command -v xrandr >/dev/null 2>&1") == 0 &&
         access("/usr/lib/xorg/modules/drivers/dummy_drv.so", R_OK) == 0;
}

XorgDummyServer::~XorgDummyServer() { Stop(); }

bool XorgDummyServer::Start(int virtualWidth, int virtualHeight) {
  char folder[] = "/tmp/hl-xorg-dummy-XXXXXX";
  if (!mkdtemp(folder)) return false;
  folder_ = folder;
  const std::string config = folder_ + "/xorg.conf";
  const std::string configDir = folder_ + "/xorg.conf.d";
  // NOTE: Xorg calls an empty config folder unusable; one comment will do.
  if (mkdir(configDir.c_str(), 0700) != 0 || !Write(config, Config(virtualWidth, virtualHeight)) ||
      !Write(configDir + "/00-none.conf", "# nothing here\n")) {
    return false;
  }

  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    close(fds[0]);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    // Its own process group: a signal for the test's group leaves it alone.
    setpgid(0, 0);
    std::vector<std::string> args = {"Xorg",       "-config",   config,        "-configdir", configDir,
                                     "-noreset",   "-nolisten", "tcp",         "-novtswitch", "-sharevts",
                                     "-logfile",   folder_ + "/Xorg.log",      "-displayfd", std::to_string(fds[1])};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp("Xorg", argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&p, 1, 200) > 0) {
      char c;
      if (read(fds[0], &c, 1) <= 0 || c == '\n') break;
      number += c;
    }
  }
  close(fds[0]);
  if (number.empty()) {
    Stop();
    return false;
  }
  display_ = ":" + number;
  return true;
}

void XorgDummyServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    bool gone = false;
    for (int i = 0; i < 250 && !gone; ++i) {
      gone = waitpid(pid_, nullptr, WNOHANG) == pid_;
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!gone) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::system(("rm -rf '" + folder_ + "'").c_str());
    folder_.clear();
  }
}

bool XorgDummyServer::EnableOutput(const std::string& output, const std::string& mode, const std::string& rightOf) {
  // Adding a mode the output has already fails; the --output line says
  // whether it is there.
  RunWithDisplay(display_, "xrandr --addmode " + output + " " + mode + " 2>/dev/null");
  return RunWithDisplay(display_, "xrandr --output " + output + " --mode " + mode + " --right-of " + rightOf) == 0;
}

bool XorgDummyServer::DisableOutput(const std::string& output) {
  return RunWithDisplay(display_, "xrandr --output " + output + " --off") == 0;
}

std::string XorgDummyServer::Log() const {
  std::ifstream in(folder_ + "/Xorg.log");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testing_support
