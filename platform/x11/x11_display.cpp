// The connection to the X server, its error handling, and the display's
// geometry.
#include <unistd.h>

#include <string>

#include "platform/error_sink.h"
#include "platform/x11/x11_backend.h"

namespace platform {
namespace {

X11Backend* backend = nullptr;
int trapDepth = 0;
int trappedError = 0;

int OnProtocolError(Display*, XErrorEvent* error) {
  // NOTE: errors outside a trap are asynchronous leftovers, typically a GL
  // swap on a window whose parent has just destroyed it. The DestroyNotify
  // that follows ends the run; there is nothing to report.
  if (trapDepth > 0) trappedError = error->error_code;
  return 0;
}

int OnConnectionLost(Display*) {
  // Xlib cannot go on once the connection is gone, and whatever the server
  // held for us (window, grabs) went with it: leave at once.
  ReportError("X11", "lost the connection to the X server");
  _exit(1);
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display) {
  XSync(display_, False);
  if (trapDepth++ == 0) trappedError = 0;
}

X11ErrorTrap::~X11ErrorTrap() {
  XSync(display_, False);
  --trapDepth;
}

bool X11ErrorTrap::Failed() {
  XSync(display_, False);
  return trappedError != 0;
}

X11Backend::X11Backend(Display* display)
    : display_(display),
      screen_(DefaultScreen(display)),
      root_(RootWindow(display, DefaultScreen(display))),
      wmProtocols_(XInternAtom(display, "WM_PROTOCOLS", False)),
      wmDeleteWindow_(XInternAtom(display, "WM_DELETE_WINDOW", False)),
      netWmName_(XInternAtom(display, "_NET_WM_NAME", False)),
      utf8String_(XInternAtom(display, "UTF8_STRING", False)) {
  WatchMonitors();
}

X11Backend::~X11Backend() {
  for (auto& [window, info] : windows_) {
    if (info.own) {
      XDestroyWindow(display_, window);
      if (info.colormap) XFreeColormap(display_, info.colormap);
    }
  }
  if (arrowCursor_) XFreeCursor(display_, arrowCursor_);
  if (blankCursor_) XFreeCursor(display_, blankCursor_);
  if (glVisual_) XFree(glVisual_);
  XCloseDisplay(display_);
}

bool X11Backend::WindowRect(WindowHandle window, Rect* rect) {
  X11ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, static_cast<Window>(window), &attributes) || trap.Failed()) return false;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, static_cast<Window>(window), root_, 0, 0, &x, &y, &child);
  if (trap.Failed()) return false;
  const int border = attributes.border_width;
  rect->left = x - border;
  rect->top = y - border;
  rect->right = x + attributes.width + border;
  rect->bottom = y + attributes.height + border;
  return true;
}

int X11Backend::ScreenMetric(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return DisplayWidth(display_, screen_);
    case SM_CYSCREEN:
      return DisplayHeight(display_, screen_);
    default:
      return 0;
  }
}

void X11Backend::ActivateScreenSaver() {
  XActivateScreenSaver(display_);
  XFlush(display_);
}

bool ConnectWindowSystem() {
  if (backend) return true;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    ReportError("X11", std::string("cannot open display \"") + XDisplayName(nullptr) + "\"");
    return false;
  }
  XSetErrorHandler(OnProtocolError);
  XSetIOErrorHandler(OnConnectionLost);
  backend = new X11Backend(display);
  UseWindowSystem(backend);
  UseGlWindowBackend(backend);
  return true;
}

void DisconnectWindowSystem() {
  if (!backend) return;
  UseWindowSystem(nullptr);
  UseGlWindowBackend(nullptr);
  delete backend;
  backend = nullptr;
}

}  // namespace platform
