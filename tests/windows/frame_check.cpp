// Checks a screenshot of the full-screen saver (a binary PPM, as ImageMagick's
// import writes it): the screen shows colour, and the picture about the
// screen's centre repeats every two wedges, as a kaleidoscope with a wedge
// count between 10 and 22 does. The same measures as the Linux window tests.
// Prints the measures; exits 0 when they hold.
//
//   hl_frame_check SHOT.ppm
#include <cstdio>
#include <cstring>
#include <algorithm>

#include "platform/linux/png_image.h"
#include "tests/support/image_checks.h"

namespace {

bool ReadPpm(const char* path, platform::RgbaImage* image) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  int width = 0, height = 0, maxValue = 0;
  const bool header = std::fscanf(file, "P6 %d %d %d", &width, &height, &maxValue) == 3 && std::fgetc(file) != EOF;
  if (!header || width <= 0 || height <= 0 || width > 16384 || height > 16384 || maxValue != 255) {
    std::fclose(file);
    return false;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const bool whole = std::fread(rgb.data(), 1, rgb.size(), file) == rgb.size();
  std::fclose(file);
  if (!whole) return false;
  image->width = width;
  image->height = height;
  image->pixels.resize(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
    std::memcpy(&image->pixels[j], &rgb[i], 3);
    image->pixels[j + 3] = 255;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  platform::RgbaImage frame;
  if (argc != 2 || !ReadPpm(argv[1], &frame)) {
    std::printf("FAIL: cannot read the screenshot %s\n", argc == 2 ? argv[1] : "(none given)");
    return 2;
  }
  const testing_support::Point centre = testing_support::ImageCentre(frame);
  const double radius = std::min(frame.width, frame.height) * 0.36;
  double best = 1e9;
  int bestCount = 0;
  for (int n = 10; n <= 22; n += 2) {
    const double error = testing_support::RotationError(frame, centre, radius, 2 * 360.0 / n);
    if (error < best) best = error, bestCount = n;
  }
  const int lit = testing_support::CountLitPixels(frame, 40);
  const double litShare = static_cast<double>(lit) / (static_cast<double>(frame.width) * frame.height);
  std::printf("frame %dx%d: %.0f%% lit, rotation error %.2f for %d wedges\n", frame.width, frame.height,
              100 * litShare, best, bestCount);
  int failures = 0;
  if (litShare < 0.1) std::printf("FAIL: the screen shows little colour\n"), ++failures;
  if (best >= 12.0) std::printf("FAIL: no wedge symmetry about the centre\n"), ++failures;
  return failures == 0 ? 0 : 1;
}
