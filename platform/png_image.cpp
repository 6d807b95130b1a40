#include "platform/png_image.h"

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

bool WritePng(const std::string& path, const RgbaImage& image, std::string* error) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *error = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *error = path + ": cannot write PNG";
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Fast compression: frames are written at video rates.
  png_set_compression_level(png, 3);
  for (int y = 0; y < image.height; ++y) {
    rows[static_cast<size_t>(y)] =
        const_cast<png_bytep>(image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width) * 4);
  }
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
    *error = path + ": " + std::strerror(errno);
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
