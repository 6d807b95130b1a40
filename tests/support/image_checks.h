#pragma once
// Pixel checks on rendered frames: how far a frame is from being symmetric
// under a rotation or a reflection about a centre, and simple measures of where
// colour shows. Angles are degrees, counter-clockwise with y pointing up, as in
// the kaleidoscope's own plane.
#include "platform/linux/png_image.h"

namespace testing_support {

struct Point {
  double x;
  double y;
};

// Mean absolute difference (0…255, over R, G, B) between each pixel within
// `radius` of `centre` and the pixel it maps to under a rotation by `degrees`.
double RotationError(const platform::RgbaImage& image, Point centre, double radius, double degrees);

// The same for the reflection across the line through `centre` at `lineDegrees`.
double ReflectionError(const platform::RgbaImage& image, Point centre, double radius, double lineDegrees);

// Mean of R, G, B over the disc.
double MeanBrightness(const platform::RgbaImage& image, Point centre, double radius);

// Number of pixels with any channel above `threshold`.
int CountLitPixels(const platform::RgbaImage& image, int threshold);

// The centroid of the pixels with any channel above `threshold` (image
// coordinates, y downward); (-1, -1) when none is lit.
Point LitCentroid(const platform::RgbaImage& image, int threshold);

Point ImageCentre(const platform::RgbaImage& image);

}  // namespace testing_support
