// Windows: the saver's full-screen and preview windows, an ordinary window of
// our own, and the foreign windows the screen-saver daemon hands us.
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/error_sink.h"
#include "platform/x11/x11_backend.h"

namespace platform {
namespace {

constexpr long kOwnWindowEvents = KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                                  EnterWindowMask | StructureNotifyMask;

}  // namespace

WindowHandle X11Backend::CreateNativeWindow(const char* className, const char* title, uint32_t style, int x, int y,
                                            int width, int height, WindowHandle parentHandle) {
  const bool child = (style & WS_CHILD) != 0;
  const bool popup = !child && (style & WS_POPUP) != 0;
  Window parent = root_;
  if (child) {
    // The number may name no window at all (a bare /p gives 0).
    X11ErrorTrap trap(display_);
    XWindowAttributes attributes{};
    parent = static_cast<Window>(parentHandle);
    if (!XGetWindowAttributes(display_, parent, &attributes) || trap.Failed()) return kNoWindow;
  }
  if (width <= 0 || height <= 0) return kNoWindow;

  XSetWindowAttributes attributes{};
  unsigned long mask = CWEventMask | CWBorderPixel | CWBackPixel | CWColormap;
  attributes.event_mask = kOwnWindowEvents;
  attributes.border_pixel = 0;
  attributes.background_pixel = BlackPixel(display_, screen_);
  Visual* visual = DefaultVisual(display_, screen_);
  int depth = DefaultDepth(display_, screen_);
  Colormap colormap = 0;
  if (XVisualInfo* gl = GlVisual()) {
    visual = gl->visual;
    depth = gl->depth;
    // NOTE: BlackPixel belongs to the default visual; 0 is black in any
    // TrueColor visual, which is what GLX gives us.
    attributes.background_pixel = 0;
  }
  // NOTE: a window whose visual differs from its parent's needs a colormap of
  // its own or XCreateWindow fails with BadMatch; make one always.
  colormap = XCreateColormap(display_, root_, visual, AllocNone);
  attributes.colormap = colormap;
  if (popup) {
    attributes.override_redirect = True;
    mask |= CWOverrideRedirect;
  }

  X11ErrorTrap trap(display_);
  const Window window = XCreateWindow(display_, parent, x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, depth, InputOutput, visual, mask, &attributes);
  if (trap.Failed() || !window) {
    XFreeColormap(display_, colormap);
    return kNoWindow;
  }

  XClassHint hint{};
  char instanceName[] = "harbor-lights";
  std::string classCopy = className ? className : "";
  hint.res_name = instanceName;
  hint.res_class = classCopy.data();
  XSetClassHint(display_, window, &hint);
  if (title) {
    XStoreName(display_, window, title);
    XChangeProperty(display_, window, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
  }
  if (!child) XSetWMProtocols(display_, window, &wmDeleteWindow_, 1);
  if (style == WS_OVERLAPPEDWINDOW || (style & ~WS_VISIBLE) == WS_OVERLAPPEDWINDOW) {
    XSizeHints size{};
    size.flags = PSize;
    size.width = width;
    size.height = height;
    XSetWMNormalHints(display_, window, &size);
  }

  X11WindowInfo info;
  info.popup = popup;
  info.colormap = colormap;
  info.visual = XVisualIDFromVisual(visual);
  info.width = width;
  info.height = height;
  windows_[window] = info;
  if (style & WS_VISIBLE) {
    XMapRaised(display_, window);
  }
  XSync(display_, False);
  return window;
}

bool X11Backend::AttachForeignWindow(WindowHandle handle) {
  const Window window = static_cast<Window>(handle);
  X11ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes) || trap.Failed()) return false;
  // GL visuals and contexts belong to one screen: a window of another screen
  // of this display would be drawn with a visual it cannot take.
  if (attributes.screen != DefaultScreenOfDisplay(display_)) {
    char id[24];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(window));
    ReportError("X11", std::string("window ") + id + " is on screen " +
                           std::to_string(XScreenNumberOfScreen(attributes.screen)) + ", not on screen " +
                           std::to_string(DefaultScreen(display_)) + " of " + DisplayString(display_));
    return false;
  }
  // StructureNotify may be selected by any number of clients: we hear of the
  // window's size changes and destruction and take nothing from its owner.
  XSelectInput(display_, window, attributes.your_event_mask | StructureNotifyMask);
  if (trap.Failed()) return false;
  X11WindowInfo info;
  info.own = false;
  info.visual = XVisualIDFromVisual(attributes.visual);
  info.width = attributes.width;
  info.height = attributes.height;
  windows_[window] = info;
  return true;
}

void X11Backend::DestroyNativeWindow(WindowHandle handle) {
  const Window window = static_cast<Window>(handle);
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  const X11WindowInfo info = it->second;
  windows_.erase(it);
  X11ErrorTrap trap(display_);
  if (info.grabbed) {
    XUngrabPointer(display_, CurrentTime);
    XUngrabKeyboard(display_, CurrentTime);
  }
  if (info.own) {
    XDestroyWindow(display_, window);
    if (info.colormap) XFreeColormap(display_, info.colormap);
  } else {
    XSelectInput(display_, window, NoEventMask);
  }
}

void X11Backend::ShowNativeWindow(WindowHandle handle, int) {
  const Window window = static_cast<Window>(handle);
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.own) return;
  XMapRaised(display_, window);
  XSync(display_, False);
  if (it->second.popup) Grab(window, it->second);
  // The cursor shape is the procedure's to choose, as the pointer is over it now.
  PostMessage(window, WM_SETCURSOR, window, 0);
}

bool X11Backend::MoveNativeWindow(WindowHandle handle, int x, int y, int width, int height) {
  const Window window = static_cast<Window>(handle);
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.own) return false;
  // The ConfigureNotify that follows turns into WM_SIZE.
  XMoveResizeWindow(display_, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display_, False);
  return true;
}

void X11Backend::Grab(Window window, X11WindowInfo& info) {
  // HACK: the screen-saver daemon (or the program that started us) may still
  // hold the keyboard or pointer for a moment; try for about a second.
  bool keyboard = false, pointer = false;
  for (int attempt = 0; attempt < 20 && !(keyboard && pointer); ++attempt) {
    if (!keyboard) {
      keyboard = XGrabKeyboard(display_, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    if (!pointer) {
      pointer = XGrabPointer(display_, window, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                             GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    }
    if (!(keyboard && pointer)) usleep(50'000);
  }
  if (!keyboard) ReportError("X11", "cannot grab the keyboard");
  if (!pointer) ReportError("X11", "cannot grab the pointer");
  info.grabbed = keyboard || pointer;
  if (keyboard) XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  XSync(display_, False);
}

}  // namespace platform
