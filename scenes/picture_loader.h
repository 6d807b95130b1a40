#pragma once
// The picture loader: a JPEG picture, from the program's own resources or from
// bytes the caller read, decoded by libjpeg through a memory source and made
// into a mipmapped OpenGL texture.
#include <GL/gl.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

struct jpeg_decompress_struct;

namespace hl {

// A decoded picture and the texture made from it.
struct PictureTexture {
  unsigned char* pixels = nullptr;  // top row first, width * components bytes a row, no gaps; freed once uploaded
  int bitsPerPixel = 0;             // output components * 8: 24 colour, 8 grey
  int width = 0;
  int height = 0;
  GLuint textureName = 0;
};

// One per load: the bytes the memory source reads.
struct ResourceBlock {
  int reserved;
  size_t size;
  const unsigned char* data;
};

// Loads the RT_RCDATA resource `resourceName` into a texture, left bound to
// GL_TEXTURE_2D with linear mipmapped minification, linear magnification and
// GL_REPEAT wrap; texture coordinate t = 0 is the top of the picture. Needs a
// current GL context. True when the texture was made. A false result leaves
// the record as it was (nothing allocated, no texture made).
bool LoadPictureTexture(PictureTexture& record, const char* resourceName);

// The same for `size` bytes of a JPEG file the caller holds: the same decoder,
// memory source and texture. (The user's own pictures are squared between the
// decoding and the upload: DecodePicture, then MakePictureTexture.)
bool LoadPictureTextureFromMemory(PictureTexture& record, const unsigned char* data, size_t size);

// Uploads record.pixels as the texture above, sets textureName and frees the
// pixels (the field keeps its stale value). Always true.
bool MakePictureTexture(PictureTexture& record);

// Decoding alone, without GL (the fuzzer, tools): fills pixels, bitsPerPixel,
// width and height, or returns false and leaves the record as it was. A
// picture of more than `maxPixels` pixels is refused once its header is read.
// The decoder's messages go, with "JPEG picture" before them, to the error
// sink. Release the pixels with ReleasePicturePixels.
bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, uint64_t maxPixels = UINT64_MAX);
void ReleasePicturePixels(PictureTexture& record);

// What a picture from outside the program may cost. Every bound is checked
// from the header, before the decoder allocates for the picture's size.
struct DecodeLimits {
  uint64_t maxPixels = UINT64_MAX;  // of the decoded (possibly reduced) picture
  // Of the picture at full size: the decoder's work grows with it whatever the
  // scale, even for a file of a few bytes (arithmetic-coded data may end early
  // by design and leave the rest to be filled).
  uint64_t maxSourcePixels = UINT64_MAX;
  // A picture of several scans (progressive) is held whole as coefficients,
  // two bytes per sample at full size, however small its output.
  uint64_t maxCoefficientBytes = UINT64_MAX;
  int maxScans = INT_MAX;
  // When above 0: decode at 1/2, 1/4 or 1/8 of the size while the shorter side
  // stays at least this long.
  int minSide = 0;
  // A picture whose data ends early fails instead of being completed in grey.
  bool refuseTruncated = false;
};

// The decoding above under `limits`. On false, `reason` (when given) holds the
// one-line cause: the decoder's message or the bound that was passed; nothing
// is printed. A termination request (platform/termination.h) abandons any
// decode, this one and the others, within one row of work.
bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, const DecodeLimits& limits,
                   std::string* reason);

// Program-wide: when set, asked now and then while a picture decodes; true
// gives the decode up without a word, as a termination request does. The
// full-screen saver sets it while it starts, so that the input that closes it
// is never kept waiting by its pictures.
extern bool (*pictureDecodeInterrupted)();

// Whether decoding is being given up: the program is ending, or the hook above
// says so.
bool PictureDecodingGivenUp();

// The same, reading an open file as the decoder asks for it (never whole):
// memory stays bounded by the limits, whatever the file's size.
bool DecodePictureFile(PictureTexture& record, platform::FileHandle file, const DecodeLimits& limits,
                       std::string* reason);

// The header alone of the RT_RCDATA resource `resourceName`: the size and
// bitsPerPixel a decode would give. False when it is missing or no JPEG.
bool ReadPictureHeader(const char* resourceName, int* width, int* height, int* bitsPerPixel);

// Gives `cinfo` the memory source over `block` (allocated in the decompressor's
// permanent pool when it has no source yet). Exposed for the source's tests.
void InstallMemorySource(jpeg_decompress_struct& cinfo, ResourceBlock* block);

}  // namespace hl
