// The picture decoder over arbitrary bytes: libjpeg through the memory source
// and the jumping error exit, without GL. libjpeg is a system library the
// sanitizers do not instrument, so the input is copied to end at an
// inaccessible page: any read past its end faults at once.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/error_sink.h"
#include "scenes/picture_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  // The decoder's lines still pass through the sink; only the log is spared them.
  static const bool quiet = (platform::SetErrorSink([](const std::string&) {}), true);
  (void)quiet;
  const size_t length = (size + page - 1) / page * page + page;
  void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return 0;
  unsigned char* base = static_cast<unsigned char*>(map);
  mprotect(base + length - page, page, PROT_NONE);
  unsigned char* bytes = base + length - page - size;
  if (size > 0) std::memcpy(bytes, data, size);

  hl::PictureTexture record;
  // Headers may claim 65535 x 65535; past the largest embedded picture (1024 x
  // 1024) only the allocation and more of the same work would be tested.
  if (hl::DecodePicture(record, bytes, size, 1024u * 1024u)) hl::ReleasePicturePixels(record);
  munmap(base, length);
  return 0;
}
