// The pointer: its position on the screen (GetCursorPos's stand-in) and the
// cursor shown over our windows, hidden or the arrow.
#include <X11/cursorfont.h>

#include "platform/x11/x11_backend.h"

namespace platform {

bool X11Backend::CursorPos(ScreenPoint* point) {
  Window rootReturn = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int buttons = 0;
  // False when the pointer is on another screen; the root coordinates are
  // then not ours to compare.
  if (!XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &buttons)) return false;
  point->x = rootX;
  point->y = rootY;
  return true;
}

CursorHandle X11Backend::ArrowCursor() {
  if (!arrowCursor_) arrowCursor_ = XCreateFontCursor(display_, XC_left_ptr);
  return arrowCursor_;
}

void X11Backend::ShowCursorShape(CursorHandle cursor) {
  Cursor shape = static_cast<Cursor>(cursor);
  if (!shape) {
    // X has no "no cursor": a cursor of one transparent pixel stands for it.
    if (!blankCursor_) {
      static const char empty[1] = {0};
      Pixmap bitmap = XCreateBitmapFromData(display_, root_, empty, 1, 1);
      XColor black{};
      blankCursor_ = XCreatePixmapCursor(display_, bitmap, bitmap, &black, &black, 0, 0);
      XFreePixmap(display_, bitmap);
    }
    shape = blankCursor_;
  }
  shownCursor_ = cursor;
  for (const auto& [window, info] : windows_) {
    if (info.own) XDefineCursor(display_, window, shape);
  }
  XFlush(display_);
}

}  // namespace platform
