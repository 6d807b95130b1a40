// The picture decoder over arbitrary bytes: libjpeg through the memory source
// and the jumping error exit, without GL. Any read outside the input, leak or
// undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>

#include "scenes/picture_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hl::PictureTexture record;
  // Headers may claim 65535 x 65535; past 2048 x 2048 only the allocation would be tested.
  if (hl::DecodePicture(record, data, size, 2048u * 2048u)) hl::ReleasePicturePixels(record);
  return 0;
}
