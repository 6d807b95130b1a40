#include "renderer/wedge_config.h"

#include <cmath>

namespace hl {

TransitionState transition;

WedgeConfig BuildWedgeConfig(float angle) {
  WedgeConfig config;
  config.angle = angle;
  const double a = angle;
  config.count = static_cast<int>(360.0 / a);
  if (360.0 - config.count * a > 0.5) config.count += 1;
  config.planeA[0] = 1;
  // The second plane's normal points at angle + 180 degrees.
  const double theta = (a + 270.0 - 90.0) * static_cast<double>(kDegreesToRadians);
  config.planeB[0] = std::cos(theta);
  config.planeB[1] = std::sin(theta);
  return config;
}

void FillWedgeTable(WedgeConfig table[kWedgeTableSize]) {
  for (int n = 10; n <= 22; n += 2) table[(n - 10) / 2] = BuildWedgeConfig(static_cast<float>(360.0 / n));
}

double BlendedAngle(double t) {
  const double s = t * t * (3.0 - 2.0 * t);
  return transition.fromAngle + s * (static_cast<double>(transition.toAngle) - transition.fromAngle);
}

const WedgeConfig& BlendedConfig(float now) {
  double t = (static_cast<double>(now) - transition.startTime) / transition.duration;
  if (t >= 1.0) {
    t = 1.0;
    transition.inTransition = false;
  }
  transition.blended = BuildWedgeConfig(static_cast<float>(BlendedAngle(t)));
  return transition.blended;
}

}  // namespace hl
