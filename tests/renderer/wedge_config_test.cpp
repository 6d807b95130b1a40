#include "renderer/wedge_config.h"

#include <gtest/gtest.h>

#include <cmath>

#include "renderer/kaleidoscope_renderer.h"
#include "renderer/random15.h"

namespace hl {
namespace {

struct CountCase {
  float angle;
  int count;
};

TEST(BuildWedgeConfig, CountIgnoresALeftoverOfAtMostHalfADegree) {
  const CountCase cases[] = {
      {36.0f, 10},
      {static_cast<float>(360.0 / 22), 22},
      {static_cast<float>(360.0 / 14), 14},
      {17.0f, 22},     // 360 - 21 * 17 = 3
      {17.1f, 22},     // leftover 0.9
      {17.125f, 21},   // leftover 0.375 is not above 0.5
      {29.99f, 12},    // 12 wedges fall 0.12 degrees short
      {30.02f, 12},    // 360 / 30.02 truncates to 11; leftover 29.78 adds one
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildWedgeConfig(c.angle).count, c.count) << "angle " << c.angle;
  }
}

TEST(BuildWedgeConfig, PlanesCutTheWedgeThatStartsStraightDown) {
  const WedgeConfig c = BuildWedgeConfig(36.0f);
  EXPECT_EQ(c.angle, 36.0f);
  EXPECT_DOUBLE_EQ(c.planeA[0], 1.0);
  EXPECT_DOUBLE_EQ(c.planeA[1], 0.0);
  EXPECT_DOUBLE_EQ(c.planeA[2], 0.0);
  EXPECT_DOUBLE_EQ(c.planeA[3], 0.0);
  // The normal of the second plane points at angle + 180 degrees, computed with
  // the single-precision degree factor.
  const double theta = (36.0 + 270.0 - 90.0) * static_cast<double>(0.01745328f);
  EXPECT_EQ(c.planeB[0], std::cos(theta));
  EXPECT_EQ(c.planeB[1], std::sin(theta));
  EXPECT_EQ(c.planeB[2], 0.0);
  EXPECT_EQ(c.planeB[3], 0.0);
  // A point inside the wedge (just counter-clockwise of straight down) is kept
  // by both planes; one just clockwise of it is not.
  auto keeps = [&](double degrees) {
    const double x = std::cos(degrees * M_PI / 180), y = std::sin(degrees * M_PI / 180);
    return c.planeA[0] * x + c.planeA[1] * y >= 0 && c.planeB[0] * x + c.planeB[1] * y >= 0;
  };
  EXPECT_TRUE(keeps(275));
  EXPECT_TRUE(keeps(305));
  EXPECT_FALSE(keeps(265));
  EXPECT_FALSE(keeps(310));
}

class RendererTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRendererProcessState();
    FillWedgeTable(r.configs);
    r.current = &r.configs[0];
  }
  int CurrentIndex() const { return static_cast<int>(r.current - r.configs); }
  KaleidoscopeRenderer r;
};

TEST_F(RendererTable, HoldsTheEvenCountsTenToTwentyTwo) {
  const float angles[] = {36.0f, 30.0f, 25.714285f, 22.5f, 20.0f, 18.0f, 16.363636f};
  for (int k = 0; k < kWedgeTableSize; ++k) {
    EXPECT_FLOAT_EQ(r.configs[k].angle, angles[k]) << "entry " << k;
    EXPECT_EQ(r.configs[k].count, 10 + 2 * k) << "entry " << k;
  }
}

TEST_F(RendererTable, RandomPickMapsFifteenBitValuesOntoSevenEntries) {
  const struct {
    int random;
    int index;
  } cases[] = {{0, 0}, {4681, 0}, {4682, 1}, {9362, 1}, {9363, 2}, {28086, 5}, {28087, 6}, {32767, 6}};
  for (const auto& c : cases) {
    QueueRandom15({c.random});
    r.PickRandomConfig(false);
    EXPECT_EQ(CurrentIndex(), c.index) << "rand() = " << c.random;
    EXPECT_FALSE(transition.inTransition);
  }
}

TEST_F(RendererTable, NoFifteenBitValuePicksBeyondTheTable) {
  for (int v = 0; v <= 32767; ++v) {
    QueueRandom15({v});
    r.PickRandomConfig(false);
    ASSERT_LT(CurrentIndex(), kWedgeTableSize) << v;
  }
}

TEST_F(RendererTable, BlendSmoothstepsTheAngleOverTwoSeconds) {
  r.current = &r.configs[0];  // 36 degrees
  r.timeSeconds = 10.0f;
  r.SetConfig(4, true);  // 20 degrees
  EXPECT_TRUE(transition.inTransition);
  EXPECT_EQ(transition.duration, 2.0f);
  EXPECT_EQ(transition.startTime, 10.0f);

  const struct {
    float now;
    float angle;
    bool stillBlending;
  } cases[] = {{10.0f, 36.0f, true}, {10.5f, 36.0f - 16.0f * 0.15625f, true}, {11.0f, 28.0f, true},
               {12.0f, 20.0f, false}};
  for (const auto& c : cases) {
    transition.inTransition = true;
    const WedgeConfig& blended = BlendedConfig(c.now);
    EXPECT_FLOAT_EQ(blended.angle, c.angle) << "at " << c.now;
    EXPECT_EQ(blended.count, BuildWedgeConfig(blended.angle).count);
    EXPECT_EQ(transition.inTransition, c.stillBlending) << "at " << c.now;
  }
  // Past the end the frame uses the target angle, and the blend is over.
  transition.inTransition = true;
  EXPECT_EQ(BlendedConfig(15.0f).angle, 20.0f);
  EXPECT_FALSE(transition.inTransition);
}

TEST_F(RendererTable, BlendRestartedMidWayStartsFromTheReachedAngle) {
  r.current = &r.configs[0];  // 36
  r.timeSeconds = 0.0f;
  r.SetConfig(4, true);  // towards 20
  r.timeSeconds = 1.0f;  // half-way: 28 degrees
  r.SetConfig(6, true);  // towards 16.36
  EXPECT_TRUE(transition.inTransition);
  EXPECT_FLOAT_EQ(transition.fromAngle, 28.0f);
  EXPECT_EQ(transition.startTime, 1.0f);
  EXPECT_EQ(transition.toAngle, r.configs[6].angle);
  EXPECT_FLOAT_EQ(BlendedConfig(1.0f).angle, 28.0f);

  // A restart after the old blend's end but before a frame ended it starts
  // from the old target.
  r.timeSeconds = 10.0f;
  r.SetConfig(1, true);
  EXPECT_EQ(transition.fromAngle, r.configs[6].angle);
}

TEST_F(RendererTable, RepeatPickStillBlendsBetweenEqualAngles) {
  r.current = &r.configs[3];
  r.timeSeconds = 5.0f;
  QueueRandom15({3 * 4681 + 1});  // entry 3 again
  r.PickRandomConfig(true);
  EXPECT_EQ(CurrentIndex(), 3);
  EXPECT_TRUE(transition.inTransition);
  EXPECT_EQ(transition.fromAngle, 22.5f);
  EXPECT_EQ(transition.toAngle, 22.5f);
  EXPECT_EQ(transition.startTime, 5.0f);
  EXPECT_EQ(transition.duration, 2.0f);
}

TEST_F(RendererTable, ChangeWithoutAnimationLeavesTheBlendAlone) {
  transition.inTransition = true;
  transition.fromAngle = 1.0f;
  transition.toAngle = 2.0f;
  transition.startTime = 3.0f;
  transition.duration = 4.0f;
  r.SetConfig(9, false);  // reduced modulo 7
  EXPECT_EQ(CurrentIndex(), 2);
  EXPECT_TRUE(transition.inTransition);
  EXPECT_EQ(transition.fromAngle, 1.0f);
  EXPECT_EQ(transition.toAngle, 2.0f);
  EXPECT_EQ(transition.startTime, 3.0f);
  EXPECT_EQ(transition.duration, 4.0f);
}

TEST(Random15, StaysWithinFifteenBitsAndRepeatsForASeed) {
  SeedRandom15(12345);
  std::vector<int> first;
  for (int i = 0; i < 1000; ++i) first.push_back(Random15());
  SeedRandom15(12345);
  for (int i = 0; i < 1000; ++i) {
    const int v = Random15();
    ASSERT_EQ(v, first[i]);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
  int maxSeen = 0;
  for (int i = 0; i < 200000; ++i) maxSeen = std::max(maxSeen, Random15());
  EXPECT_EQ(maxSeen, 32767);
}

}  // namespace
}  // namespace hl
