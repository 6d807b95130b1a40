#pragma once
// PNG files made in memory, fast enough for video rates: the rows are
// filtered once with the Up filter and deflated in one call at a low level.
// The same pixels always give the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/png_image.h"

namespace platform {

// Encodes `image` as an 8-bit PNG, RGB when `keepAlpha` is false (the alpha
// channel is dropped, not blended). Returns false only when memory runs out.
bool EncodePng(const RgbaImage& image, bool keepAlpha, std::vector<uint8_t>* file, std::string* error);

}  // namespace platform
