#include "tests/shell/settings_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

TempConfigHome::TempConfigHome() {
  std::string pattern = "/tmp/hl-settings-XXXXXX";
  root_ = mkdtemp(pattern.data()) ? pattern : "";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  hadValue_ = old != nullptr;
  if (old) oldValue_ = old;
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
  if (hadValue_) {
    setenv("XDG_CONFIG_HOME", oldValue_.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  if (!root_.empty()) std::system(("chmod -R u+rwx '" + root_ + "' 2>/dev/null; rm -rf '" + root_ + "'").c_str());
}

void TempConfigHome::Write(const std::string& text) const {
  mkdir(Folder().c_str(), 0700);
  std::ofstream(File(), std::ios::binary) << text;
}

bool TempConfigHome::Exists() const { return access(File().c_str(), F_OK) == 0; }

std::string TempConfigHome::Read() const {
  std::ifstream in(File(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testing_support
