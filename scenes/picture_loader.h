#pragma once
// The picture loader: a JPEG picture, from the program's own resources or from
// bytes the caller read, decoded by libjpeg through a memory source and made
// into a mipmapped OpenGL texture.
#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

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
// Release the pixels with ReleasePicturePixels.
bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, uint64_t maxPixels = UINT64_MAX);
void ReleasePicturePixels(PictureTexture& record);

// Gives `cinfo` the memory source over `block` (allocated in the decompressor's
// permanent pool when it has no source yet). Exposed for the source's tests.
void InstallMemorySource(jpeg_decompress_struct& cinfo, ResourceBlock* block);

}  // namespace hl
