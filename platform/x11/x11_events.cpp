// X events become the messages a window procedure handles.
#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include "platform/x11/x11_backend.h"

namespace platform {
namespace {

// The virtual-key code of a key: letters and digits as upper-case ASCII, the
// function keys from VK_F1; keys the saver does not tell apart give 0.
WParam VirtualKey(KeySym key) {
  if (key >= XK_a && key <= XK_z) return 'A' + (key - XK_a);
  if (key >= XK_A && key <= XK_Z) return 'A' + (key - XK_A);
  if (key >= XK_0 && key <= XK_9) return '0' + (key - XK_0);
  if (key >= XK_F1 && key <= XK_F24) return VK_F1 + (key - XK_F1);
  switch (key) {
    case XK_Escape:
      return VK_ESCAPE;
    case XK_Return:
    case XK_KP_Enter:
      return VK_RETURN;
    case XK_space:
      return VK_SPACE;
    default:
      return 0;
  }
}

bool IsAltKey(KeySym key) { return key == XK_Alt_L || key == XK_Alt_R || key == XK_Meta_L || key == XK_Meta_R; }

}  // namespace

void X11Backend::PumpEvents() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (!TranslateMonitorEvent(event)) Translate(event);
  }
  // One change of the monitors arrives as several RandR events.
  if (monitorsChanged_) PostDisplayChange();
}

void X11Backend::Translate(XEvent& event) {
  const Window window = event.xany.window;
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  X11WindowInfo& info = it->second;
  const bool foreign = !info.own;

  switch (event.type) {
    case KeyPress: {
      if (foreign) return;
      const KeySym key = XLookupKeysym(&event.xkey, 0);
      const bool alt = (event.xkey.state & Mod1Mask) != 0 || IsAltKey(key);
      // As on the system the design was written for: a key with Alt held (Alt
      // itself included) or F10 is a system key, the rest plain key presses.
      if (alt || key == XK_F10) {
        PostMessage(window, WM_SYSKEYDOWN, VirtualKey(key), alt ? KF_ALTDOWN_LPARAM : 0);
      } else {
        PostMessage(window, WM_KEYDOWN, VirtualKey(key), 0);
      }
      return;
    }
    case ButtonPress: {
      if (foreign) return;
      const LParam where = MAKELPARAM(event.xbutton.x, event.xbutton.y);
      // Buttons 4 to 7 are the wheel's steps, not buttons.
      if (event.xbutton.button == Button1) PostMessage(window, WM_LBUTTONDOWN, 0, where);
      if (event.xbutton.button == Button2) PostMessage(window, WM_MBUTTONDOWN, 0, where);
      if (event.xbutton.button == Button3) PostMessage(window, WM_RBUTTONDOWN, 0, where);
      return;
    }
    case MotionNotify:
      if (foreign) return;
      PostMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(event.xmotion.x, event.xmotion.y));
      return;
    case EnterNotify:
      if (!foreign) PostMessage(window, WM_SETCURSOR, window, 0);
      return;
    case FocusIn:
    case FocusOut: {
      if (foreign) return;
      // Focus moving between our window and its own inferiors, and the
      // changes our own grab and ungrab cause, are not activation changes.
      const int mode = event.xfocus.mode;
      const int detail = event.xfocus.detail;
      if (mode == NotifyGrab || mode == NotifyUngrab) return;
      if (detail == NotifyInferior || detail == NotifyPointer || detail == NotifyPointerRoot ||
          detail == NotifyDetailNone) {
        return;
      }
      PostMessage(window, WM_ACTIVATE, event.type == FocusIn ? WA_ACTIVE : WA_INACTIVE, 0);
      return;
    }
    case ClientMessage:
      if (!foreign && event.xclient.message_type == wmProtocols_ &&
          static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow_) {
        PostMessage(window, WM_CLOSE, 0, 0);
      }
      return;
    case ConfigureNotify:
      if (event.xconfigure.width != info.width || event.xconfigure.height != info.height) {
        info.width = event.xconfigure.width;
        info.height = event.xconfigure.height;
        PostMessage(window, WM_SIZE, 0, MAKELPARAM(info.width, info.height));
      }
      return;
    case DestroyNotify:
      if (event.xdestroywindow.window != window) return;
      // A server shutting down destroys every window before it drops its
      // clients: one round trip tells that apart from a window closed by its
      // owner, and a lost connection ends the run as such (status 1).
      XSync(display_, False);
      if (info.colormap) XFreeColormap(display_, info.colormap);
      windows_.erase(it);
      NotifyWindowDestroyed(window);
      return;
    default:
      return;
  }
}

}  // namespace platform
