#pragma once
// PNG files of 8-bit RGBA pixels, top row first. Used by the offscreen renderer
// and by tests that keep a rendered frame beside their log.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4 bytes, top row first

  const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Writes `image` to `path`; the same pixels always give the same bytes. An
// opaque image may leave out its alpha channel (a quarter smaller, faster).
// On failure returns false and `error` holds the cause.
bool WritePng(const std::string& path, const RgbaImage& image, std::string* error, bool keepAlpha = true);

// The same into an open file, a row at a time: no copy of the image is made,
// so this suits frames too large to encode in memory. `name` is for messages.
bool WritePng(std::FILE* file, const std::string& name, const RgbaImage& image, std::string* error,
              bool keepAlpha = true);

// Reads any 8-bit PNG into RGBA.
bool ReadPng(const std::string& path, RgbaImage* image, std::string* error);

}  // namespace platform
