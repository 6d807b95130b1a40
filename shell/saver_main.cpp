#include "shell/saver_main.h"

#include "shell/saver_window.h"

namespace hl {

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i) line += ' ';
    line += arguments[i];
  }
  return line;
}

int SaverMain(const std::string&, int) { return 0; }

}  // namespace hl
