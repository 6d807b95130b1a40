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
  ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
