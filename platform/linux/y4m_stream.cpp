#include "platform/linux/y4m_stream.h"

#include <cmath>
#include <cstdio>

namespace platform {
namespace {

// BT.601 in 16.16 fixed point, studio range; + 0.5 rounds.
constexpr int32_t kOne = 1 << 16;
constexpr int32_t Fixed(double v) { return static_cast<int32_t>(v * kOne + (v < 0 ? -0.5 : 0.5)); }

uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

std::string Y4mHeader(int width, int height, double fps) {
  // The smallest denominator (up to 1000, the finest --fps step that stays
  // exact) that gives the rate without rounding; else milli-frames.
  long numerator = std::lround(fps * 1000), denominator = 1000;
  for (long d = 1; d <= 1000; ++d) {
    const double n = fps * static_cast<double>(d);
    if (std::fabs(n - std::round(n)) < 1e-9 * n) {
      numerator = std::lround(n);
      denominator = d;
      break;
    }
  }
  char line[160];
  std::snprintf(line, sizeof line, "YUV4MPEG2 W%d H%d F%ld:%ld Ip A1:1 C444\n", width, height,
                numerator, denominator);
  return line;
}

void RgbaToYuv444(const RgbaImage& image, std::vector<uint8_t>* planes) {
  const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  planes->resize(count * 3);
  uint8_t* y = planes->data();
  uint8_t* cb = y + count;
  uint8_t* cr = cb + count;
  const uint8_t* p = image.pixels.data();
  constexpr int32_t kYr = Fixed(65.481 / 255), kYg = Fixed(128.553 / 255), kYb = Fixed(24.966 / 255);
  constexpr int32_t kBr = Fixed(-37.797 / 255), kBg = Fixed(-74.203 / 255), kBb = Fixed(112.0 / 255);
  constexpr int32_t kRr = Fixed(112.0 / 255), kRg = Fixed(-93.786 / 255), kRb = Fixed(-18.214 / 255);
  constexpr int32_t kHalf = kOne / 2;
  for (size_t i = 0; i < count; ++i, p += 4) {
    const int32_t r = p[0], g = p[1], b = p[2];
    y[i] = Clamp(16 + ((kYr * r + kYg * g + kYb * b + kHalf) >> 16));
    cb[i] = Clamp(128 + ((kBr * r + kBg * g + kBb * b + kHalf) >> 16));
    cr[i] = Clamp(128 + ((kRr * r + kRg * g + kRb * b + kHalf) >> 16));
  }
}

}  // namespace platform
