#include "tests/support/capability.h"

#include <cstdlib>
#include <cstring>

namespace testing_support {

bool RunningInCi() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

}  // namespace testing_support
