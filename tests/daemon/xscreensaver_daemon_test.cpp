// Debian's screen-saver daemon runs the program: xscreensaver on a private X
// server, with a settings file of its own whose only program is ours with
// -root. Activated, it starts us on its window and the screen shows the
// kaleidoscope; deactivated, it ends us; stopped, it leaves nothing behind.
//
// The daemon refuses to run display modes as root, and tests run as root
// here, so the daemon (and so our program) runs as the unprivileged user
// nobody, with a HOME of its own and a copy of the program it can read.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"  // Xlib last

namespace {

namespace fs = std::filesystem;
using testing_support::TestClient;
using testing_support::XvfbServer;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// Every wait below is for a condition, polled, with a deadline generous
// enough for the sanitizer build on a loaded machine (several tests, the
// daemon, llvmpipe and the X server sharing two cores): a deadline that
// passes means the thing did not happen, not that it was slow.
constexpr double kDeadline = 60;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// NUL-separated /proc records (cmdline, environ) as strings.
std::vector<std::string> ProcRecords(pid_t pid, const char* what) {
  const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/" + what);
  std::vector<std::string> records;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find('\0', start);
    records.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return records;
}

// The process's state letter from /proc (R, S, Z, …); 0 when it is gone.
char ProcessState(pid_t pid) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  const auto at = status.find("State:");
  if (at == std::string::npos) return 0;
  const auto letter = status.find_first_not_of(" \t", at + 6);
  return letter == std::string::npos ? 0 : status[letter];
}
bool Ended(pid_t pid) {
  const char state = ProcessState(pid);
  return state == 0 || state == 'Z' || state == 'X';
}

std::string StatusField(pid_t pid, const std::string& field) {
  std::istringstream in(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
  }
  return "";
}

std::vector<pid_t> AllProcesses() {
  std::vector<pid_t> pids;
  if (DIR* dir = opendir("/proc")) {
    while (dirent* entry = readdir(dir)) {
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (pid > 0 && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
    }
    closedir(dir);
  }
  return pids;
}

bool HasArgv0(pid_t pid, const std::string& program) {
  const std::vector<std::string> argv = ProcRecords(pid, "cmdline");
  return !argv.empty() && argv[0] == program;
}
bool HasEnvironmentEntry(pid_t pid, const std::string& entry) {
  for (const std::string& e : ProcRecords(pid, "environ")) {
    if (e == entry) return true;
  }
  return false;
}

// Live processes that `match`.
template <typename Match>
std::vector<pid_t> LiveProcesses(Match match) {
  std::vector<pid_t> found;
  for (pid_t pid : AllProcesses()) {
    if (pid != getpid() && !Ended(pid) && match(pid)) found.push_back(pid);
  }
  return found;
}

std::string Describe(const std::vector<pid_t>& pids) {
  std::string text;
  for (pid_t pid : pids) {
    text += std::to_string(pid) + ":";
    for (const std::string& a : ProcRecords(pid, "cmdline")) text += " " + a;
    text += "\n";
  }
  return text;
}

// The daemon's world: a scratch folder holding nobody's HOME, the settings
// file and a copy of the program, and a clean environment for everything
// started in it.
class DaemonScene {
 public:
  explicit DaemonScene(const std::string& display) {
    char pattern[] = "/tmp/hl-daemon-test-XXXXXX";
    if (!mkdtemp(pattern)) return;
    root_ = pattern;
    home_ = root_ + "/home";
    program_ = root_ + "/harbor-lights";
    log_ = root_ + "/daemon.log";
    fs::create_directory(home_);
    // The build tree may not be readable by nobody; a copy beside its HOME is.
    fs::copy_file(HL_PROGRAM, program_);
    chmod(program_.c_str(), 0755);
    chmod(root_.c_str(), 0755);
    std::ofstream(home_ + "/.xscreensaver") << "timeout:\t0:01:00\n"
                                               "cycle:\t\t0:00:00\n"
                                               "lock:\t\tFalse\n"
                                               "lockTimeout:\t0:00:00\n"
                                               "dpmsEnabled:\tFalse\n"
                                               "splash:\t\tFalse\n"
                                               "fade:\t\tFalse\n"
                                               "unfade:\t\tFalse\n"
                                               "mode:\t\tone\n"
                                               "selected:\t0\n"
                                               "grabDesktopImages:\tFalse\n"
                                               "grabVideoFrames:\tFalse\n"
                                               "chooseRandomImages:\tFalse\n"
                                               "programs:\t\"harbor-lights\" " +
                                                   program_ + " -root \\n\n";
    if (geteuid() == 0 && chown(home_.c_str(), kNobody, kNoGroup) != 0) return;
    if (geteuid() == 0 && chown((home_ + "/.xscreensaver").c_str(), kNobody, kNoGroup) != 0) return;
    environment_ = {"PATH=/usr/bin:/bin", "HOME=" + home_, "DISPLAY=" + display};
    // The sanitizer build's settings go on to our program.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) environment_.push_back(std::string(name) + "=" + value);
    }
    ready_ = true;
  }
  ~DaemonScene() {
    if (!root_.empty()) {
      std::error_code ignored;
      fs::remove_all(root_, ignored);
    }
  }

  bool Ready() const { return ready_; }
  const std::string& Home() const { return home_; }
  const std::string& Program() const { return program_; }
  std::string Log() const { return ReadFile(log_); }

  // Starts `args` as nobody (as ourselves when we are not root), output to
  // the log.
  pid_t Spawn(const std::vector<std::string>& args) const {
    std::vector<std::string> full;
    if (geteuid() == 0) full = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    full.insert(full.end(), args.begin(), args.end());
    const int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
      const int devnull = open("/dev/null", O_RDONLY);
      dup2(devnull, 0);
      dup2(fd, 1);
      dup2(fd, 2);
      std::vector<char*> argv, envp;
      for (auto& a : full) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      for (auto& e : environment_) envp.push_back(const_cast<char*>(e.c_str()));
      envp.push_back(nullptr);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(fd);
    return pid;
  }

  // Runs `args` to the end; its exit status, -1 after a signal or a timeout.
  int Run(const std::vector<std::string>& args, double seconds = kDeadline) const {
    const pid_t pid = Spawn(args);
    const double deadline = Now() + seconds;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (Now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
      }
      Pause(10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  bool ready_ = false;
  std::string root_, home_, program_, log_;
  std::vector<std::string> environment_;
};

// The best fit of a wedge symmetry: the kaleidoscope repeats every two
// wedges, and its wedge count is random.
double WedgeSymmetryError(const platform::RgbaImage& frame) {
  double best = 1e9;
  for (int n = 10; n <= 22; n += 2) {
    best = std::min(best, testing_support::RotationError(frame, testing_support::ImageCentre(frame), 230,
                                                         2 * 360.0 / n));
  }
  return best;
}

TEST(XScreenSaverDaemon, RunsTheProgramOnActivationAndEndsItOnDeactivation) {
  HL_REQUIRE_CAPABILITY(XvfbServer::Available(), "Xvfb");
  HL_REQUIRE_CAPABILITY(Executable("/usr/bin/xscreensaver") && Executable("/usr/bin/xscreensaver-command"),
                        "the xscreensaver daemon (Debian package xscreensaver)");
  HL_REQUIRE_CAPABILITY(geteuid() != 0 || Executable("/usr/bin/setpriv"), "setpriv, to leave root");
  XvfbServer server;
  // -ac: the daemon runs as another user than the server's.
  ASSERT_TRUE(server.Start("640x480x24", {"-ac"}));
  TestClient client(server.Display());
  ASSERT_TRUE(client.Connected());
  DaemonScene scene(server.Display());
  ASSERT_TRUE(scene.Ready());
  const std::string homeEntry = "HOME=" + scene.Home();
  const platform::RgbaImage before = client.Capture(client.Root());

  const pid_t daemon = scene.Spawn({"/usr/bin/xscreensaver", "--no-splash", "--verbose"});
  struct StopDaemon {
    pid_t pid;
    ~StopDaemon() {
      if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }
  } stopDaemon{daemon};
  bool up = false;
  for (double deadline = Now() + kDeadline; !up && Now() < deadline; Pause(100)) {
    up = scene.Run({"/usr/bin/xscreensaver-command", "-time"}) == 0;
  }
  ASSERT_TRUE(up) << "the daemon did not answer; its log:\n" << scene.Log();

  // Asked again now and then: a daemon that has only just answered may not
  // act on the first request yet.
  pid_t program = 0;
  for (double deadline = Now() + kDeadline, asked = 0; !program && Now() < deadline; Pause(50)) {
    if (Now() - asked > 15) {
      ASSERT_EQ(scene.Run({"/usr/bin/xscreensaver-command", "-activate"}), 0) << scene.Log();
      asked = Now();
    }
    for (pid_t pid : LiveProcesses([&](pid_t p) { return HasArgv0(p, scene.Program()); })) program = pid;
  }
  ASSERT_NE(program, 0) << "the daemon did not start the program; its log:\n" << scene.Log();
  // Nobody's process, on the daemon's own window.
  EXPECT_EQ(StatusField(program, "Uid").find_first_not_of("\t 65534"), std::string::npos)
      << StatusField(program, "Uid");
  bool onDaemonWindow = false;
  for (const std::string& e : ProcRecords(program, "environ")) {
    onDaemonWindow = onDaemonWindow || e.rfind("XSCREENSAVER_WINDOW=0x", 0) == 0;
  }
  EXPECT_TRUE(onDaemonWindow);

  // The screen shows the kaleidoscope: colour where the server showed its
  // pattern, repeated around the centre.
  platform::RgbaImage frame;
  double error = 1e9;
  int brightest = 0;
  for (double deadline = Now() + kDeadline; Now() < deadline; Pause(200)) {
    frame = client.Capture(client.Root());
    client.MeanBrightness(client.Root(), &brightest);
    error = WedgeSymmetryError(frame);
    if (brightest > 40 && error < 12.0 && frame.pixels != before.pixels) break;
  }
  EXPECT_GT(brightest, 40) << "the screen shows no colour; " << testing_support::KeepFrame(frame, "screen");
  EXPECT_LT(error, 12.0) << "no wedge symmetry; " << testing_support::KeepFrame(frame, "screen");
  EXPECT_NE(frame.pixels, before.pixels) << "the screen still shows the server's own background";
  EXPECT_FALSE(Ended(program)) << scene.Log();

  // The program ends when the daemon tells it to. (How fast a signal ends
  // it is the window tests' concern; here a slow end only shows a hang.)
  const double deactivated = Now();
  ASSERT_EQ(scene.Run({"/usr/bin/xscreensaver-command", "-deactivate"}), 0) << scene.Log();
  while (!Ended(program) && Now() - deactivated < kDeadline) Pause(10);
  const double took = Now() - deactivated;
  EXPECT_TRUE(Ended(program)) << "still running " << kDeadline << " s after the deactivation; log:\n" << scene.Log();
  EXPECT_LT(took, 10.0) << "the program took " << took << " s to end";

  // Stopped, the daemon takes its helpers with it, and nothing started in
  // its world is left running.
  ASSERT_EQ(kill(daemon, SIGTERM), 0);
  int status = 0;
  pid_t waited = 0;
  for (double deadline = Now() + kDeadline; waited == 0 && Now() < deadline; Pause(10)) {
    waited = waitpid(daemon, &status, WNOHANG);
  }
  EXPECT_EQ(waited, daemon) << "the daemon did not stop";
  if (waited == daemon) stopDaemon.pid = 0;
  std::vector<pid_t> left;
  for (double deadline = Now() + kDeadline; Now() < deadline; Pause(50)) {
    left = LiveProcesses([&](pid_t p) { return HasEnvironmentEntry(p, homeEntry) || HasArgv0(p, scene.Program()); });
    if (left.empty()) break;
  }
  EXPECT_TRUE(left.empty()) << "left running:\n" << Describe(left);
  for (pid_t pid : left) kill(pid, SIGKILL);
}

}  // namespace
