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

#include "tests/support/display_server_process.h"
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

  return StartDisplayServer({"Xorg", "-config", config, "-configdir", configDir, "-noreset", "-nolisten", "tcp",
                             "-novtswitch", "-sharevts", "-logfile", folder_ + "/Xorg.log", "-displayfd", "{fd}"},
                            30, &pid_, &display_);
}

void XorgDummyServer::Stop() {
  StopDisplayServer(&pid_, 5000);
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
