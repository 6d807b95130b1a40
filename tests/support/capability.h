#pragma once
// Tests skip, with a reason, when a capability (an X server, a GL extension)
// is missing; under CI, where everything must be present, they fail instead.
#include <gtest/gtest.h>

#include <string>

namespace testing_support {

bool RunningInCi();

}  // namespace testing_support

#define HL_REQUIRE_CAPABILITY(available, what)                          \
  do {                                                                  \
    if (!(available)) {                                                 \
      if (::testing_support::RunningInCi()) {                           \
        FAIL() << "missing under CI: " << (what);                       \
      } else {                                                          \
        GTEST_SKIP() << "skipped: " << (what) << " is not available";   \
      }                                                                 \
    }                                                                   \
  } while (0)
