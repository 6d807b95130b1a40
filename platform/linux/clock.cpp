#include "platform/clock.h"

#include <time.h>

namespace platform {
namespace {

constexpr int64_t kCounterFrequency = 10'000'000;

class SystemClocks : public TimeSource {
 public:
  int64_t CounterFrequency() override { return kCounterFrequency; }
  int64_t Counter() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kCounterFrequency + ts.tv_nsec / 100;
  }
  uint32_t TickCount() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1'000'000u;
    return static_cast<uint32_t>(ms);  // wraps like the system tick count
  }
  std::time_t CalendarTime() override { return std::time(nullptr); }
  void Sleep(uint32_t milliseconds) override {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
  }
};

}  // namespace

TimeSource& SystemTimeSource() {
  static SystemClocks clocks;
  return clocks;
}

}  // namespace platform
