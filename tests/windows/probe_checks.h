#pragma once
// How the Win32 probes report: one line on standard output per failed check
// (the case scripts show them), and the count for the exit status.
#include <cstdio>
#include <string>

namespace probe {

inline int failures = 0;

inline void Fail(const std::string& what) {
  std::printf("FAIL: %s\n", what.c_str());
  std::fflush(stdout);
  ++failures;
}

}  // namespace probe
