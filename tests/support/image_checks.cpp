#include "tests/support/image_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace testing_support {
namespace {

constexpr double kPi = 3.14159265358979323846;

template <typename Map>
double MappedError(const platform::RgbaImage& image, Point centre, double radius, Map map) {
  double total = 0;
  long samples = 0;
  const int x0 = std::max(0, static_cast<int>(centre.x - radius));
  const int x1 = std::min(image.width - 1, static_cast<int>(centre.x + radius));
  const int y0 = std::max(0, static_cast<int>(centre.y - radius));
  const int y1 = std::min(image.height - 1, static_cast<int>(centre.y + radius));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // Pixel centres, in a frame with y upward about the centre.
      const double dx = x + 0.5 - centre.x;
      const double dy = centre.y - (y + 0.5);
      if (dx * dx + dy * dy > radius * radius) continue;
      double mx = 0, my = 0;
      map(dx, dy, &mx, &my);
      const int tx = static_cast<int>(std::floor(centre.x + mx));
      const int ty = static_cast<int>(std::floor(centre.y - my));
      if (tx < 0 || ty < 0 || tx >= image.width || ty >= image.height) continue;
      const uint8_t* a = image.At(x, y);
      const uint8_t* b = image.At(tx, ty);
      total += std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
      ++samples;
    }
  }
  return samples ? total / (3.0 * samples) : 0.0;
}

}  // namespace

double RotationError(const platform::RgbaImage& image, Point centre, double radius, double degrees) {
  const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
  return MappedError(image, centre, radius, [&](double x, double y, double* mx, double* my) {
    *mx = c * x - s * y;
    *my = s * x + c * y;
  });
}

double ReflectionError(const platform::RgbaImage& image, Point centre, double radius, double lineDegrees) {
  const double c = std::cos(2 * lineDegrees * kPi / 180), s = std::sin(2 * lineDegrees * kPi / 180);
  return MappedError(image, centre, radius, [&](double x, double y, double* mx, double* my) {
    *mx = c * x + s * y;
    *my = s * x - c * y;
  });
}

double MeanBrightness(const platform::RgbaImage& image, Point centre, double radius) {
  double total = 0;
  long samples = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
      if (dx * dx + dy * dy > radius * radius) continue;
      const uint8_t* p = image.At(x, y);
      total += (p[0] + p[1] + p[2]) / 3.0;
      ++samples;
    }
  }
  return samples ? total / samples : 0.0;
}

int CountLitPixels(const platform::RgbaImage& image, int threshold) {
  int lit = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      if (p[0] > threshold || p[1] > threshold || p[2] > threshold) ++lit;
    }
  }
  return lit;
}

Point LitCentroid(const platform::RgbaImage& image, int threshold) {
  double sx = 0, sy = 0;
  long n = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      if (p[0] > threshold || p[1] > threshold || p[2] > threshold) {
        sx += x + 0.5;
        sy += y + 0.5;
        ++n;
      }
    }
  }
  if (n == 0) return {-1, -1};
  return {sx / n, sy / n};
}

Point ImageCentre(const platform::RgbaImage& image) { return {image.width / 2.0, image.height / 2.0}; }

}  // namespace testing_support
