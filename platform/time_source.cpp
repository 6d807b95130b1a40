// The clock calls read whichever time source is in use: the system's clocks,
// or one a test or an offscreen render hands in.
#include "platform/clock.h"

namespace platform {
namespace {

TimeSource* activeSource = nullptr;

TimeSource& Active() { return activeSource ? *activeSource : SystemTimeSource(); }

}  // namespace

void UseTimeSource(TimeSource* source) { activeSource = source; }

int64_t QueryPerformanceFrequency() { return Active().CounterFrequency(); }
int64_t QueryPerformanceCounter() { return Active().Counter(); }
uint32_t GetTickCount() { return Active().TickCount(); }
std::time_t CalendarTime() { return Active().CalendarTime(); }
void Sleep(uint32_t milliseconds) { Active().Sleep(milliseconds); }

}  // namespace platform
