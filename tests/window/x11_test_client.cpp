#include <gtest/gtest.h>

#include "tests/window/x11_test_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/xvfb_server.h"

namespace testing_support {
namespace {

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SaverProcess::SaverProcess(const std::string& display, const std::vector<std::string>& args,
                           const std::vector<std::string>& environment) {
  char path[] = "/tmp/hl-window-test-stderr-XXXXXX";
  const int fd = mkstemp(path);
  stderrPath_ = path;
  pid_ = fork();
  if (pid_ == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    for (const auto& e : environment) putenv(strdup(e.c_str()));
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(fd, 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fd);
}

SaverProcess::~SaverProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  unlink(stderrPath_.c_str());
}

bool SaverProcess::Running() {
  if (status_ != -2 || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ending_signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    dumped_core_ = WIFSIGNALED(status) && WCOREDUMP(status);
    return false;
  }
  return true;
}

int SaverProcess::WaitForExit(double seconds) {
  const double deadline = Now() + seconds;
  while (Running() && Now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Running() ? -1 : status_;
}

std::string SaverProcess::Stderr() const {
  std::ifstream in(stderrPath_);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TestClient::TestClient(const std::string& display) {
  display_ = XOpenDisplay(display.c_str());
  XSetErrorHandler(ignoreErrors);
}

TestClient::~TestClient() {
  if (display_) XCloseDisplay(display_);
}

Window TestClient::Root() const { return DefaultRootWindow(display_); }

std::string TestClient::ClassOf(Window window) {
  XClassHint hint{};
  std::string result;
  if (XGetClassHint(display_, window, &hint)) {
    if (hint.res_class) result = hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return result;
}

std::string TestClient::Name(Window window) {
  char* name = nullptr;
  std::string result;
  if (XFetchName(display_, window, &name) && name) {
    result = name;
    XFree(name);
  }
  return result;
}

Window TestClient::WaitForWindowOfClass(const std::string& windowClass, double seconds, Window top) {
  const double deadline = Now() + seconds;
  if (!top) top = Root();
  do {
    std::vector<Window> pending = {top};
    while (!pending.empty()) {
      Window w = pending.back();
      pending.pop_back();
      if (w != top && ClassOf(w) == windowClass) return w;
      Window rootReturn, parent, *children = nullptr;
      unsigned count = 0;
      if (XQueryTree(display_, w, &rootReturn, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) pending.push_back(children[i]);
        if (children) XFree(children);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Now() < deadline);
  return 0;
}

bool TestClient::Exists(Window window) {
  XWindowAttributes a;
  XSync(display_, False);
  return XGetWindowAttributes(display_, window, &a) != 0;
}

XWindowAttributes TestClient::Attributes(Window window) {
  XWindowAttributes a{};
  XGetWindowAttributes(display_, window, &a);
  return a;
}

Window TestClient::MakeWindow(int width, int height) {
  Window w = XCreateSimpleWindow(display_, Root(), 0, 0, width, height, 0, 0, WhitePixel(display_, 0));
  XMapRaised(display_, w);
  XSync(display_, False);
  return w;
}

void TestClient::Destroy(Window window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
}

void SendDeleteWindow(Display* display, Window window) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &e);
  XSync(display, False);
}

void TestClient::SendDeleteWindow(Window window) { testing_support::SendDeleteWindow(display_, window); }

double TestClient::MeanBrightness(Window window, int* brightest) {
  XWindowAttributes a = Attributes(window);
  XImage* image = XGetImage(display_, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return -1;
  double sum = 0;
  int top = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      sum += (r + g + b) / 3.0;
      top = std::max({top, r, g, b});
    }
  }
  XDestroyImage(image);
  if (brightest) *brightest = top;
  return sum / (static_cast<double>(a.width) * a.height);
}

platform::RgbaImage TestClient::Capture(Window window) {
  XWindowAttributes a = Attributes(window);
  platform::RgbaImage result;
  XImage* image = XGetImage(display_, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return result;
  result.width = a.width;
  result.height = a.height;
  result.pixels.resize(static_cast<size_t>(a.width) * a.height * 4);
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      uint8_t* out = &result.pixels[(static_cast<size_t>(y) * a.width + x) * 4];
      out[0] = (p >> 16) & 0xFF;
      out[1] = (p >> 8) & 0xFF;
      out[2] = p & 0xFF;
      out[3] = 255;
    }
  }
  XDestroyImage(image);
  return result;
}

bool TestClient::CursorHidden() {
  XFixesCursorImage* image = XFixesGetCursorImage(display_);
  if (!image) return false;
  bool hidden = true;
  for (int i = 0; i < image->width * image->height; ++i) {
    if ((image->pixels[i] >> 24) & 0xFF) hidden = false;
  }
  XFree(image);
  return hidden;
}

bool TestClient::KeyboardGrabbedElsewhere() {
  const int result = XGrabKeyboard(display_, Root(), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (result == GrabSuccess) XUngrabKeyboard(display_, CurrentTime);
  XSync(display_, False);
  return result == AlreadyGrabbed;
}

bool TestClient::PointerGrabbedElsewhere() {
  const int result = XGrabPointer(display_, Root(), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, 0, 0,
                                  CurrentTime);
  if (result == GrabSuccess) XUngrabPointer(display_, CurrentTime);
  XSync(display_, False);
  return result == AlreadyGrabbed;
}

bool XdoTool(const std::string& display, const std::string& arguments) {
  return RunWithDisplay(display, "xdotool " + arguments + " 2>/dev/null") == 0;
}

}  // namespace testing_support
