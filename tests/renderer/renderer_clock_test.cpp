#include <gtest/gtest.h>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"

namespace hl {
namespace {

class RendererClock : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRendererProcessState();
    clock.SetCounter(123456789);
    platform::UseTimeSource(&clock);
    r.StartClock();
  }
  void TearDown() override { platform::UseTimeSource(nullptr); }

  float At(int64_t counts) {
    clock.SetCounter(123456789 + counts);
    r.UpdateClock();
    return r.timeSeconds;
  }

  platform::VirtualTimeSource clock{10'000'000};
  KaleidoscopeRenderer r;
};

TEST_F(RendererClock, CountsWholeMillisecondsAsASinglePrecisionFloat) {
  EXPECT_EQ(r.timeSeconds, 0.0f);
  const struct {
    int64_t counts;  // at 10 MHz
    float seconds;
  } cases[] = {
      {0, 0.0f},
      {9'999, 0.0f},                  // 0.9999 ms truncates to 0
      {10'000, 0.001f},
      {19'999, 0.001f},
      {10'000'000, 1.0f},             // 1000 ms read as exactly 1.0
      {600'000'000, 60.0000038f},     // 60000 ms times the float 0.001
      {163'840'000'000, 16384.0f},
      // From 16384 s on the float's spacing (2^-9 s) exceeds a millisecond.
      {163'840'010'000, 16384.001953125f},
      {163'840'020'000, 16384.001953125f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(At(c.counts), c.seconds) << c.counts << " counts";
  }
  EXPECT_NE(At(600'000'000), 60.0f);
}

TEST_F(RendererClock, StartsOncePerProcess) {
  clock.AdvanceMilliseconds(5000);
  KaleidoscopeRenderer second;
  second.StartClock();  // keeps the first base
  second.UpdateClock();
  EXPECT_EQ(second.timeSeconds, 5.0f);
}

}  // namespace
}  // namespace hl
