// From the window system's monitors (window coordinates, y downward) to the
// renderer's views (y upward), by the policy of each way of running.
#include <gtest/gtest.h>

#include "shell/monitor_views.h"

namespace hl {
namespace {

TEST(MonitorViews, FollowThePolicyAndTurnYUpward) {
  using P = MonitorPolicy;
  const std::vector<platform::Rect> sideBySide = {{0, 0, 1024, 768}, {1024, 0, 2048, 768}};
  const std::vector<platform::Rect> stacked = {{0, 0, 800, 600}, {0, 600, 1024, 1368}};
  const std::vector<platform::Rect> leftPart = {{0, 0, 1024, 768}};
  const struct {
    const char* name;
    std::vector<platform::Rect> monitors;
    int height;
    P policy;
    std::vector<ViewRect> views;
  } rows[] = {
      {"full screen, side by side", sideBySide, 768, P::kFullScreen, {{0, 0, 1024, 768}, {1024, 0, 1024, 768}}},
      {"full screen, stacked: the upper monitor is the higher view",
       stacked,
       1368,
       P::kFullScreen,
       {{0, 768, 800, 600}, {0, 0, 1024, 768}}},
      {"full screen, one monitor showing part of the window", leftPart, 768, P::kFullScreen, {{0, 0, 1024, 768}}},
      {"full screen, no monitors known", {}, 768, P::kFullScreen, {}},
      {"ordinary window on two monitors", sideBySide, 768, P::kWhenSeveral, {{0, 0, 1024, 768}, {1024, 0, 1024, 768}}},
      {"ordinary window partly on one monitor", leftPart, 768, P::kWhenSeveral, {}},
      {"one view, whatever the monitors", sideBySide, 768, P::kOneView, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<ViewRect> views = MonitorViews(row.monitors, row.height, row.policy);
    ASSERT_EQ(views.size(), row.views.size());
    for (size_t i = 0; i < views.size(); ++i) {
      EXPECT_EQ(views[i], row.views[i]) << "view " << i << ": " << views[i].x << "," << views[i].y << " "
                                        << views[i].width << "x" << views[i].height;
    }
  }
}

}  // namespace
}  // namespace hl
