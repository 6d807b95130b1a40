#include "platform/linux/png_image.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace platform {
namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

bool WritePng(const std::string& path, const RgbaImage& image, std::string* error, bool keepAlpha) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return WritePng(file.get(), path, image, error, keepAlpha);
}

bool WritePng(std::FILE* file, const std::string& name, const RgbaImage& image, std::string* error,
              bool keepAlpha) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *error = "out of memory";
    return false;
  }
  const size_t width = static_cast<size_t>(image.width);
  std::vector<png_byte> row(width * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *error = name + ": " + (std::ferror(file) ? std::strerror(errno) : "cannot write PNG");
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               keepAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  // Frames are written at video rates: one cheap filter and fast compression
  // cost a few percent in size and save more than half the time.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    const png_byte* source = image.pixels.data() + static_cast<size_t>(y) * width * 4;
    if (keepAlpha) {
      png_write_row(png, source);
      continue;
    }
    for (size_t x = 0; x < width; ++x) {
      row[x * 3] = source[x * 4];
      row[x * 3 + 1] = source[x * 4 + 1];
      row[x * 3 + 2] = source[x * 4 + 2];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    *error = name + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, RgbaImage* image, std::string* error) {
  png_image reader;
  std::memset(&reader, 0, sizeof reader);
  reader.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&reader, path.c_str())) {
    *error = path + ": " + reader.message;
    return false;
  }
  reader.format = PNG_FORMAT_RGBA;
  image->width = static_cast<int>(reader.width);
  image->height = static_cast<int>(reader.height);
  image->pixels.assign(PNG_IMAGE_SIZE(reader), 0);
  if (!png_image_finish_read(&reader, nullptr, image->pixels.data(), 0, nullptr)) {
    *error = path + ": " + reader.message;
    png_image_free(&reader);
    return false;
  }
  return true;
}

}  // namespace platform
