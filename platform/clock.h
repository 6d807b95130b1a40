#pragma once
// Time services: the high-resolution performance counter, the millisecond tick
// count, the calendar time and sleeping. Each reads from a source that tests and
// the offscreen renderer can replace with a virtual one that steps exactly.
#include <cstdint>
#include <ctime>

namespace platform {

class TimeSource {
 public:
  virtual ~TimeSource() = default;
  virtual int64_t CounterFrequency() = 0;  // counts per second
  virtual int64_t Counter() = 0;
  virtual uint32_t TickCount() = 0;  // milliseconds, wraps modulo 2^32
  virtual std::time_t CalendarTime() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The real clocks of the machine: a monotonic counter at 10 MHz, a tick count
// since boot and the wall-clock calendar time.
TimeSource& SystemTimeSource();

// A clock that moves only when told to. Sleep advances it by the time asked.
class VirtualTimeSource : public TimeSource {
 public:
  explicit VirtualTimeSource(int64_t frequency = 10'000'000) : frequency_(frequency) {}
  int64_t CounterFrequency() override { return frequency_; }
  int64_t Counter() override { return counter_; }
  uint32_t TickCount() override { return tickCount_; }
  std::time_t CalendarTime() override { return calendarTime_; }
  void Sleep(uint32_t milliseconds) override { AdvanceMilliseconds(milliseconds); }

  void SetCounter(int64_t counter) { counter_ = counter; }
  void AdvanceCounter(int64_t counts) { counter_ += counts; }
  void AdvanceMilliseconds(int64_t ms) {
    counter_ += ms * frequency_ / 1000;
    tickCount_ += static_cast<uint32_t>(ms);
  }
  void SetTickCount(uint32_t ticks) { tickCount_ = ticks; }
  void SetCalendarTime(std::time_t t) { calendarTime_ = t; }

 private:
  int64_t frequency_;
  int64_t counter_ = 0;
  uint32_t tickCount_ = 0;
  std::time_t calendarTime_ = 0;
};

// Installs `source` for every call below; nullptr restores the system clocks.
void UseTimeSource(TimeSource* source);

int64_t QueryPerformanceFrequency();
int64_t QueryPerformanceCounter();
uint32_t GetTickCount();
std::time_t CalendarTime();
void Sleep(uint32_t milliseconds);

}  // namespace platform
