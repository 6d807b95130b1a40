#include "platform/linux/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace platform {
namespace {

// Deflate level 1 of libdeflate packs frames about as small as zlib's level 1
// in well under half the time; higher levels cost more than they save here.
constexpr int kCompressionLevel = 1;
// Large IDAT chunks cost nothing to readers; a bound keeps each length far
// below the format's 2^31 - 1.
constexpr size_t kMaxChunk = size_t{1} << 24;

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v)};
  out->insert(out->end(), b, b + 4);
}

void PutChunk(std::vector<uint8_t>* out, const char type[4], const uint8_t* data, size_t size) {
  PutU32(out, static_cast<uint32_t>(size));
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  if (size) out->insert(out->end(), data, data + size);
  PutU32(out, libdeflate_crc32(0, out->data() + start, size + 4));
}

}  // namespace

bool EncodePng(const RgbaImage& image, bool keepAlpha, std::vector<uint8_t>* file, std::string* error) {
  const size_t width = static_cast<size_t>(image.width);
  const size_t height = static_cast<size_t>(image.height);
  const size_t channels = keepAlpha ? 4 : 3;
  const size_t stride = 1 + width * channels;
  try {
    // Each row: the filter type, then its bytes less the bytes above them
    // (Up); the first row has zeros above it. Plain loops over whole rows,
    // which the compiler turns into vector code.
    std::vector<uint8_t> filtered(stride * height);
    const size_t rowBytes = width * channels;
    std::vector<uint8_t> above(rowBytes, 0), current(rowBytes);
    for (size_t y = 0; y < height; ++y) {
      const uint8_t* source = image.pixels.data() + y * width * 4;
      if (keepAlpha) {
        std::memcpy(current.data(), source, rowBytes);
      } else {
        uint8_t* c = current.data();
        for (size_t x = 0; x < width; ++x) {
          c[x * 3] = source[x * 4];
          c[x * 3 + 1] = source[x * 4 + 1];
          c[x * 3 + 2] = source[x * 4 + 2];
        }
      }
      uint8_t* row = &filtered[y * stride];
      row[0] = 2;  // Up
      const uint8_t* c = current.data();
      const uint8_t* a = above.data();
      uint8_t* out = row + 1;
      for (size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<uint8_t>(c[i] - a[i]);
      above.swap(current);
    }

    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor) throw std::bad_alloc();
    // Left uninitialised: only the pages the compressor writes are ever
    // touched, and the bound is far above what a frame needs.
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filtered.size());
    const std::unique_ptr<uint8_t[]> compressed(new uint8_t[bound]);
    const size_t packed =
        libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(), compressed.get(), bound);
    if (packed == 0) throw std::bad_alloc();  // the bound was not enough: cannot happen
    filtered = std::vector<uint8_t>();

    file->clear();
    file->reserve(packed + 64 + packed / kMaxChunk * 12);
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    file->insert(file->end(), kSignature, kSignature + 8);
    std::vector<uint8_t> header;
    PutU32(&header, static_cast<uint32_t>(width));
    PutU32(&header, static_cast<uint32_t>(height));
    const uint8_t rest[5] = {8, static_cast<uint8_t>(keepAlpha ? 6 : 2), 0, 0, 0};  // depth, colour type, …
    header.insert(header.end(), rest, rest + 5);
    PutChunk(file, "IHDR", header.data(), header.size());
    for (size_t at = 0; at < packed; at += kMaxChunk) {
      PutChunk(file, "IDAT", compressed.get() + at, std::min(kMaxChunk, packed - at));
    }
    PutChunk(file, "IEND", nullptr, 0);
  } catch (const std::bad_alloc&) {
    *error = "out of memory for a " + std::to_string(width) + "x" + std::to_string(height) + " PNG";
    return false;
  }
  return true;
}

}  // namespace platform
