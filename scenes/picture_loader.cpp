// The decoder runs start to finish inside one call. libjpeg reports fatal
// errors by calling error_exit, which must not return; ours prints the
// library's message through its own output_message and jumps back to the
// loader, which releases what the load made and answers false.
//
// The memory source never reads outside the bytes it was given: when the data
// runs out (a truncated picture) it warns as libjpeg's own file source does and
// supplies an end-of-image marker, and a skip past the end stops at the end.
#include "scenes/picture_loader.h"

#include <GL/glu.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/resources.h"

namespace hl {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

struct MemorySource {
  jpeg_source_mgr pub;
  ResourceBlock* block;
};

void ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Only called once the bytes are used up.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  const size_t n = static_cast<size_t>(count) < src->bytes_in_buffer ? static_cast<size_t>(count) : src->bytes_in_buffer;
  src->next_input_byte += n;
  src->bytes_in_buffer -= n;
}

// Where the bytes come from: a named resource (looked up once the decompressor
// exists) or the caller's buffer.
struct PictureBytes {
  const char* resourceName;
  const unsigned char* data;
  size_t size;
};

bool LocateResource(const char* resourceName, const unsigned char** data, size_t* size) {
  platform::ResourceHandle resource = platform::FindResourceA(nullptr, resourceName, platform::RT_RCDATA);
  if (resource == nullptr) return false;
  const uint32_t bytes = platform::SizeofResource(nullptr, resource);
  if (bytes == 0) return false;
  platform::ResourceGlobal global = platform::LoadResource(nullptr, resource);
  if (global == nullptr) return false;
  const void* locked = platform::LockResource(global);
  if (locked == nullptr) return false;
  *data = static_cast<const unsigned char*>(locked);
  *size = bytes;
  return true;
}

// Decodes into record.pixels; on false the record is as it was on entry.
bool Decode(PictureTexture& record, const PictureBytes& from, uint64_t maxPixels) {
  // Read on the error path after the jump, so it must survive it.
  ResourceBlock* volatile block = nullptr;
  unsigned char* volatile pixels = nullptr;
  const PictureTexture before = record;

  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    delete block;
    // A fatal error while reading rows or finishing leaves a pixel buffer that
    // nobody else would release.
    std::free(pixels);
    record = before;
    return false;
  }
  jpeg_create_decompress(&cinfo);

  const unsigned char* data = from.data;
  size_t size = from.size;
  if (from.resourceName != nullptr && !LocateResource(from.resourceName, &data, &size)) data = nullptr;
  if (data == nullptr || size == 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  block = new (std::nothrow) ResourceBlock{0, size, data};
  if (block == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  InstallMemorySource(cinfo, block);

  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > maxPixels) {
    jpeg_destroy_decompress(&cinfo);
    delete block;
    return false;
  }
  jpeg_start_decompress(&cinfo);
  // Only grey and colour pictures have a texture format; CMYK and YCCK (4
  // components) would be uploaded with the wrong size.
  if (cinfo.output_components != 1 && cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    delete block;
    return false;
  }

  const size_t stride = static_cast<size_t>(cinfo.output_components) * cinfo.output_width;
  const size_t bufferSize = stride * cinfo.output_height;
  pixels = static_cast<unsigned char*>(std::calloc(bufferSize, 1));
  if (pixels == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    delete block;
    return false;
  }
  record.bitsPerPixel = cinfo.output_components * 8;
  record.width = static_cast<int>(cinfo.output_width);
  record.height = static_cast<int>(cinfo.output_height);
  record.pixels = pixels;

  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               static_cast<JDIMENSION>(stride), 1);
  size_t offset = 0;
  while (cinfo.output_scanline < cinfo.output_height) {
    jpeg_read_scanlines(&cinfo, row, 1);
    std::copy(row[0], row[0] + stride, record.pixels + offset);
    offset += stride;
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  delete block;
  return true;
}

}  // namespace

void InstallMemorySource(jpeg_decompress_struct& cinfo, ResourceBlock* block) {
  if (cinfo.src == nullptr) {
    cinfo.src = static_cast<jpeg_source_mgr*>(
        (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
  }
  MemorySource* source = reinterpret_cast<MemorySource*>(cinfo.src);
  source->pub.next_input_byte = block->data;
  source->pub.bytes_in_buffer = block->size;
  source->pub.init_source = InitSource;
  source->pub.fill_input_buffer = FillInputBuffer;
  source->pub.skip_input_data = SkipInputData;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = TermSource;
  source->block = block;
}

bool LoadPictureTexture(PictureTexture& record, const char* resourceName) {
  if (!Decode(record, {resourceName, nullptr, 0}, UINT64_MAX)) return false;
  return MakePictureTexture(record);
}

bool LoadPictureTextureFromMemory(PictureTexture& record, const unsigned char* data, size_t size) {
  if (!Decode(record, {nullptr, data, size}, UINT64_MAX)) return false;
  return MakePictureTexture(record);
}

bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, uint64_t maxPixels) {
  return Decode(record, {nullptr, data, size}, maxPixels);
}

void ReleasePicturePixels(PictureTexture& record) {
  std::free(record.pixels);
  record.pixels = nullptr;
}

bool MakePictureTexture(PictureTexture& record) {
  glGenTextures(1, &record.textureName);
  glBindTexture(GL_TEXTURE_2D, record.textureName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  const GLenum textureFormat = record.bitsPerPixel == 24 ? GL_RGB : GL_ALPHA;

  // Rows are packed without gaps; a width such as 333 gives rows that are not
  // a multiple of 4 bytes. GLU reads the same setting when it scales levels.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, textureFormat, record.width, record.height, 0, textureFormat, GL_UNSIGNED_BYTE,
               record.pixels);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gluBuild2DMipmaps(GL_TEXTURE_2D, textureFormat, record.width, record.height, textureFormat, GL_UNSIGNED_BYTE,
                    record.pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);

  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  std::free(record.pixels);
  return true;
}

}  // namespace hl
