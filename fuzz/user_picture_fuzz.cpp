// A picture from the user's folder, over arbitrary bytes: decoded under the
// user-picture limits (reduced scale, pixel, coefficient and scan bounds, data
// ending early refused; all scaled down, for speed), then cut to its centred square and shrunk, as the
// zoom scene would before the upload. The input ends at an inaccessible page,
// since libjpeg is not instrumented; the squared picture is checked to be the
// power-of-two square the texture needs, every byte of it read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scenes/user_pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t length = (size + page - 1) / page * page + page;
  void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return 0;
  unsigned char* base = static_cast<unsigned char*>(map);
  mprotect(base + length - page, page, PROT_NONE);
  unsigned char* bytes = base + length - page - size;
  if (size > 0) std::memcpy(bytes, data, size);

  // The user-picture limits scaled down: headers may claim 65535 x 65535, and
  // a bigger picture only costs more of the same work (arithmetic-coded data
  // may legitimately end early, leaving the decoder to fill the declared
  // size). With the shorter side kept at 64 rather than 1024, every scale
  // from 1/1 to 1/8 is still chosen, for pictures up to 512 x 512.
  static const hl::DecodeLimits limits = [] {
    hl::DecodeLimits l = hl::UserPictureLimits();
    l.maxPixels = 1u << 18;
    l.maxSourcePixels = 1u << 18;
    l.maxCoefficientBytes = 4u << 20;
    l.minSide = 64;
    return l;
  }();
  hl::PictureTexture record;
  std::string reason;
  if (hl::ReadUserPictureBytes(record, bytes, size, &reason, limits)) {
    const int side = record.width;
    const bool square = side == record.height && side >= 1 && side <= hl::kUserPictureMaxSide && (side & (side - 1)) == 0;
    const bool format = record.bitsPerPixel == 8 || record.bitsPerPixel == 24;
    if (!square || !format) {
      std::fprintf(stderr, "user_picture_fuzz: %d x %d at %d bits is no texture\n", record.width, record.height,
                   record.bitsPerPixel);
      std::abort();
    }
    unsigned sum = 0;
    const size_t total = static_cast<size_t>(side) * side * static_cast<size_t>(record.bitsPerPixel / 8);
    for (size_t i = 0; i < total; ++i) sum += record.pixels[i];
    if (sum == 0xFFFFFFFFu) std::fputc(' ', stderr);  // keep the reads
    hl::ReleasePicturePixels(record);
  } else if (reason.empty()) {
    std::fprintf(stderr, "user_picture_fuzz: refused without a reason\n");
    std::abort();
  }
  munmap(base, length);
  return 0;
}
