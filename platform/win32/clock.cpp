// The system's clocks: the performance counter, the tick count and Sleep.
#include "platform/win32/system.h"

namespace platform {
namespace {

class SystemClocks : public TimeSource {
 public:
  int64_t CounterFrequency() override {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
  }
  int64_t Counter() override {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
  }
  uint32_t TickCount() override { return ::GetTickCount(); }
  std::time_t CalendarTime() override { return std::time(nullptr); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

TimeSource& SystemTimeSource() {
  static SystemClocks clocks;
  return clocks;
}

}  // namespace platform
