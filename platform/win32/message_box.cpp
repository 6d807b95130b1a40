// The system's modal message box.
#include <cstdio>

#include "platform/win32/system.h"

namespace platform {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

void MessageBox(const std::string& text, const std::string& caption) {
  if (Handler()) {
    Handler()(text, caption);
    return;
  }
  // Where a console is attached (a run from a shell), the text shows there too.
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  // A quit already posted (the saver window is taken down before its Error
  // box) would end the box's modal loop at once, before anyone could read it.
  // It waits until the box is answered.
  MSG quit;
  const bool quitPending = ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
  if (quitPending) ::PostQuitMessage(static_cast<int>(quit.wParam));
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
