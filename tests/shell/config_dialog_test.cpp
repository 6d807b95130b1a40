// The configuration dialog of the real program on a private X server, driven
// from the keyboard with xdotool; what counts is the settings file on disk.
// gtest first: Xlib's None macro would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/registry_file.h"
#include "shell/saver_settings.h"
#include "tests/shell/settings_test_support.h"
#include "tests/support/capability.h"
#include "tests/support/xvfb_server.h"
#include "tests/window/x11_test_client.h"

namespace hl {
namespace {

using testing_support::TempConfigHome;
using testing_support::XvfbServer;

// NOTE: hl_test's ENVIRONMENT loses HL_BINARY_DIR today (the list separator
// splits it off), so the build also names the program.
std::string Binary() {
  const char* dir = std::getenv("HL_BINARY_DIR");
  return dir && *dir ? std::string(dir) + "/shell/harbor-lights" : HL_PROGRAM;
}

bool ToolAvailable(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0; }

// The value the file on disk holds, or -1 when it holds none.
int64_t StoredUseMirrors(const TempConfigHome& home) {
  platform::RegistryDocument document;
  platform::RegistryValue value;
  if (!document.Parse(home.Read()) || !document.FindValue(kOwnKey, "UseMirrors", &value) || value.data.size() != 4) {
    return -1;
  }
  uint32_t v = 0;
  std::memcpy(&v, value.data.data(), 4);
  return v;
}

// The "PictureFolder" string on disk; "(none)" when the file holds no such value.
std::string StoredPictureFolder(const TempConfigHome& home) {
  platform::RegistryDocument document;
  platform::RegistryValue value;
  if (!document.Parse(home.Read()) || !document.FindValue(kOwnKey, "PictureFolder", &value)) return "(none)";
  std::string text(value.data.begin(), value.data.end());
  return text.substr(0, text.find('\0'));
}

class ConfigDialog : public testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(XvfbServer::Available(), "Xvfb");
    HL_REQUIRE_CAPABILITY(ToolAvailable("xdotool"), "xdotool");
    ASSERT_TRUE(server_.Start("1024x768x24"));
    display_ = XOpenDisplay(server_.Display().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (program_ > 0) {
      kill(program_, SIGKILL);
      waitpid(program_, nullptr, 0);
    }
    if (display_) XCloseDisplay(display_);
  }

  // Starts the program with `switches`, its settings in the test's folder, and
  // waits for the dialog's window. `beforeExec` runs in the child first.
  Window Start(const std::vector<std::string>& switches, const std::function<void()>& beforeExec = {}) {
    program_ = fork();
    if (program_ == 0) {
      if (beforeExec) beforeExec();
      setenv("DISPLAY", server_.Display().c_str(), 1);
      setenv("HOME", home_.Root().c_str(), 1);
      std::vector<std::string> args = {Binary()};
      args.insert(args.end(), switches.begin(), switches.end());
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    return WaitForWindow("Config dialog");
  }

  // Waits for a viewable window of the program titled `title`.
  Window WaitForWindow(const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string found;
      testing_support::RunWithDisplay(server_.Display(), "xdotool search --name '^" + title + "$' 2>/dev/null",
                                      &found);
      if (!found.empty()) {
        // Named before it is mapped: focusing it before then fails.
        const Window dialog = static_cast<Window>(std::strtoul(found.c_str(), nullptr, 10));
        if (Viewable(dialog)) return dialog;
      }
      int status = 0;
      if (waitpid(program_, &status, WNOHANG) == program_) {
        ADD_FAILURE() << "the program ended with status " << status << " before its window showed";
        program_ = -1;
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
  }

  void Keys(Window dialog, const std::string& keys) {
    const std::string command =
        "xdotool windowfocus --sync " + std::to_string(dialog) + " sleep 0.2 key --delay 100 " + keys;
    ASSERT_EQ(testing_support::RunWithDisplay(server_.Display(), command), 0) << command;
  }

  // False also for a window that no longer exists.
  bool Viewable(Window window) {
    XSync(display_, False);
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XWindowAttributes attributes{};
    const bool viewable = XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
    XSync(display_, False);
    XSetErrorHandler(previous);
    return viewable;
  }

  // Waits until `window` is no longer shown.
  bool WaitUntilGone(Window window) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!Viewable(window)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  void CloseBox(Window dialog) { testing_support::SendDeleteWindow(display_, dialog); }

  // The program's exit status, or -1 when it has not ended within the time.
  int WaitForExit() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(program_, &status, WNOHANG) == program_) {
        program_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

  Window MakeWindow() {
    Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 300, 200, 0, 0, 0);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
  }

  void SetActiveWindow(Window w) {
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    const unsigned long value = w;
    XChangeProperty(display_, DefaultRootWindow(display_), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(display_, False);
  }

  Window TransientFor(Window dialog) {
    Window owner = 0;
    XSync(display_, False);
    return XGetTransientForHint(display_, dialog, &owner) ? owner : 0;
  }

  XvfbServer server_;
  TempConfigHome home_;
  Display* display_ = nullptr;
  pid_t program_ = -1;
};

// Ways through the dialog from the keyboard (and the close box), each with the
// value on disk afterwards; -1 is "nothing written".
struct Session {
  const char* what;
  const char* keys;  // nullptr: the close box
  int64_t stored;
};

TEST_F(ConfigDialog, OkStoresTheBoxAndEveryWayOfCancellingWritesNothing) {
  const Session sessions[] = {
      {"Enter on OK, the box untouched: 1, and the key is created", "Return", 1},
      {"Space on OK", "space", 1},
      {"Tab, Tab to the box, Space clears it, then OK", "Tab Tab space shift+Tab shift+Tab Return", 0},
      {"the next run shows it cleared: Enter writes what it shows", "Return", 0},
      {"Enter on the box means OK, not a toggle", "Tab Tab Return", 0},
      {"Escape after checking the box", "Tab Tab space Escape", 0},
      {"Cancel", "Tab space", 0},
      {"the close box", nullptr, 0},
  };
  bool first = true;
  for (const Session& s : sessions) {
    SCOPED_TRACE(s.what);
    const std::string before = home_.Read();
    struct stat old {};
    const bool existed = stat(home_.File().c_str(), &old) == 0;
    const Window dialog = Start({"/c", "0"});
    ASSERT_NE(dialog, 0u) << "no dialog appeared";
    if (s.keys) {
      Keys(dialog, s.keys);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      CloseBox(dialog);
    }
    ASSERT_EQ(WaitForExit(), 0) << "the dialog did not end";
    EXPECT_EQ(StoredUseMirrors(home_), s.stored);
    if (first) {
      EXPECT_NE(home_.Read().find("[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]"), std::string::npos);
      first = false;
    }
    // Cancelling must not even rewrite the same text.
    const bool cancelled = std::strstr(s.what, "Escape") || std::strstr(s.what, "Cancel") || !s.keys;
    if (cancelled) {
      struct stat now {};
      ASSERT_TRUE(existed);
      ASSERT_EQ(stat(home_.File().c_str(), &now), 0);
      EXPECT_EQ(home_.Read(), before);
      EXPECT_EQ(now.st_ino, old.st_ino) << "the file was replaced";
    }
  }
}

TEST_F(ConfigDialog, PictureFolderRoundTripsThroughTheDialog) {
  struct FolderSession {
    const char* what;
    const char* keysBefore;  // then `typed`, then Return or Escape
    const char* typed;
    const char* finalKey;
    std::string stored;
  };
  // Tab three times from OK: Cancel, the check box, the folder field.
  const FolderSession sessions[] = {
      {"OK without a folder writes none", nullptr, nullptr, "Return", "(none)"},
      {"a folder typed into the field", "Tab Tab Tab", "/srv/my pictures", "Return", "/srv/my pictures"},
      {"the next run shows it: OK keeps it", nullptr, nullptr, "Return", "/srv/my pictures"},
      {"Escape after editing keeps the stored folder", "Tab Tab Tab ctrl+a BackSpace", nullptr, "Escape",
       "/srv/my pictures"},
      {"cleared in the field: the embedded pictures again", "Tab Tab Tab ctrl+a BackSpace", nullptr, "Return", ""},
  };
  for (const FolderSession& s : sessions) {
    SCOPED_TRACE(s.what);
    const Window dialog = Start({"/c", "0"});
    ASSERT_NE(dialog, 0u) << "no dialog appeared";
    if (s.keysBefore) Keys(dialog, s.keysBefore);
    if (s.typed) {
      // xdotool's type takes the rest of its command line as text: a call of its own.
      const std::string command = "xdotool type --delay 30 '" + std::string(s.typed) + "'";
      ASSERT_EQ(testing_support::RunWithDisplay(server_.Display(), command), 0);
    }
    Keys(dialog, s.finalKey);
    ASSERT_EQ(WaitForExit(), 0) << "the dialog did not end";
    EXPECT_EQ(StoredPictureFolder(home_), s.stored);
    EXPECT_EQ(StoredUseMirrors(home_), 1) << "the check box is untouched";
  }
}

TEST_F(ConfigDialog, IsTransientForTheWindowTheCommandLineNames) {
  const Window owner = MakeWindow();
  const Window active = MakeWindow();
  struct OwnerCase {
    const char* what;
    std::vector<std::string> switches;
    bool activeWindowKnown;
    Window expected;
  };
  const OwnerCase cases[] = {
      {"a window number", {"/c", std::to_string(owner)}, true, owner},
      {"-c:N", {"-c:" + std::to_string(owner)}, false, owner},
      {"no number: the active window", {"/c"}, true, active},
      {"no number and no active window", {"/c"}, false, 0},
      {"0: no owner", {"/c", "0"}, true, 0},
      {"a window that does not exist", {"/c", "123456789"}, true, 0},
  };
  for (const OwnerCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.activeWindowKnown) {
      SetActiveWindow(active);
    } else {
      XDeleteProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "_NET_ACTIVE_WINDOW", False));
      XSync(display_, False);
    }
    const Window dialog = Start(c.switches);
    ASSERT_NE(dialog, 0u) << "no dialog appeared";
    EXPECT_EQ(TransientFor(dialog), c.expected);
    Keys(dialog, "Escape");
    ASSERT_EQ(WaitForExit(), 0);
  }
}

// A save that cannot happen says why in a box titled "Error", leaves the file
// as it was and keeps the dialog open: Cancel then leaves, or, once the cause
// is mended, OK saves.
TEST_F(ConfigDialog, AFailedSaveShowsItsCauseAndTheDialogStaysOpen) {
  const std::string kept =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n"
      "; a note the user keeps, long enough that the file is not small at all, and then some more\n";
  struct FailureCase {
    const char* what;
    std::string file;
    mode_t mode;
    rlim_t largestFile;  // RLIM_INFINITY, or a limit that makes every write of the file fail
    const char* cause;   // in the box's text
    const char* mend;    // shell command mending the cause, then OK; nullptr: Cancel
  };
  const FailureCase cases[] = {
      {"a file that is not REGEDIT4", "my own notes\n", 0600, RLIM_INFINITY, "cannot be read as a REGEDIT4 file",
       nullptr},
      {"a read-only file, then made writable and saved", kept, 0444, RLIM_INFINITY, "read-only", "chmod 0600"},
      {"a full disk (no room for the new file)", kept, 0600, 64, "not enough space on the disk", nullptr},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    home_.Write(c.file);
    ASSERT_EQ(chmod(home_.File().c_str(), c.mode), 0);
    struct stat old {};
    ASSERT_EQ(stat(home_.File().c_str(), &old), 0);
    // Standard error through a pipe: a file would be held to the size limit too.
    int errors[2];
    ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
    const Window dialog = Start({"/c", "0"}, [&] {
      dup2(errors[1], 2);
      if (c.largestFile != RLIM_INFINITY) {
        signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{c.largestFile, c.largestFile};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
    });
    close(errors[1]);
    ASSERT_NE(dialog, 0u) << "no dialog appeared";
    Keys(dialog, "Tab Tab space shift+Tab shift+Tab Return");  // check the box, then OK
    const Window box = WaitForWindow("Error");
    ASSERT_NE(box, 0u) << "no Error box";
    // Written before the box shows.
    fcntl(errors[0], F_SETFL, O_NONBLOCK);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(errors[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
    close(errors[0]);
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    EXPECT_NE(text.find("not saved"), std::string::npos) << text;
    Keys(box, "Return");
    ASSERT_TRUE(WaitUntilGone(box)) << "the Error box stayed";
    EXPECT_TRUE(Viewable(dialog)) << "the dialog must stay open";
    EXPECT_EQ(waitpid(program_, nullptr, WNOHANG), 0) << "the program ended";
    struct stat now {};
    ASSERT_EQ(stat(home_.File().c_str(), &now), 0);
    EXPECT_EQ(home_.Read(), c.file);
    EXPECT_EQ(now.st_ino, old.st_ino) << "the file was replaced";
    EXPECT_EQ(now.st_mode & 07777, c.mode);

    if (c.mend) {
      ASSERT_EQ(std::system((std::string(c.mend) + " '" + home_.File() + "'").c_str()), 0);
      Keys(dialog, "Return");
      ASSERT_EQ(WaitForExit(), 0) << "OK after mending did not end the dialog";
      EXPECT_EQ(StoredUseMirrors(home_), 1) << "the box checked in the dialog is what is saved";
      EXPECT_NE(home_.Read().find("; a note the user keeps"), std::string::npos);
    } else {
      Keys(dialog, "Escape");
      ASSERT_EQ(WaitForExit(), 0) << "Cancel did not end the dialog";
      EXPECT_EQ(home_.Read(), c.file);
    }
  }
}

}  // namespace
}  // namespace hl
