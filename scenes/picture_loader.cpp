// The decoder runs start to finish inside one call. libjpeg reports fatal
// errors by calling error_exit, which must not return; ours hands the
// library's message to its own output_message and jumps back to the loader,
// which releases what the load made and answers false.
//
// No line of the library reaches standard error on its own: output_message
// either keeps the text for the caller (who names the file it came from) or
// reports it through the error sink under the picture's name.
//
// The memory source never reads outside the bytes it was given: when the data
// runs out (a truncated picture) it warns as libjpeg's own file source does and
// supplies an end-of-image marker, and a skip past the end stops at the end.
// The file source reads a bounded buffer at a time in the same way.
//
// A progress monitor watches every decode: it abandons the work when the
// process is asked to end, and when a picture brings more scans than allowed.
#include "scenes/picture_loader.h"

#include <GL/glu.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/error_sink.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/termination.h"

namespace hl {

bool (*pictureDecodeInterrupted)() = nullptr;

bool PictureDecodingGivenUp() {
  return platform::TerminationRequested() || (pictureDecodeInterrupted && pictureDecodeInterrupted());
}

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  const char* name;     // what reported lines are about
  std::string* reason;  // when set, the text is kept here instead of reported
  std::string fatal;    // the first fatal message, or the bound that was passed
  std::string warning;  // the first warning
  bool refuseTruncated;
};

ErrorManager& ManagerOf(j_common_ptr cinfo) { return *reinterpret_cast<ErrorManager*>(cinfo->err); }

void OutputMessage(j_common_ptr cinfo) {
  ErrorManager& errors = ManagerOf(cinfo);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  if (errors.reason == nullptr) {
    platform::ReportError(errors.name, text);
  } else if (errors.warning.empty()) {
    errors.warning = text;
  }
}

constexpr const char* kEnding = "abandoned: the program is ending";
constexpr const char* kClosing = "abandoned: the saver is closing";

// The jump skips every destructor between here and the loader, so nothing
// that owns memory may be alive in these frames when it is taken. A decode
// given up because the program is ending is no fault worth a line.
[[noreturn]] void Abandon(j_common_ptr cinfo, const char* why) {
  ErrorManager& errors = ManagerOf(cinfo);
  if (errors.fatal.empty()) errors.fatal = why;
  if (errors.reason == nullptr && why != kEnding && why != kClosing) platform::ReportError(errors.name, why);
  std::longjmp(errors.jump, 1);
}

[[noreturn]] void AbandonWithMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  Abandon(cinfo, text);
}

void ErrorExit(j_common_ptr cinfo) { AbandonWithMessage(cinfo); }

// Warnings show once, as with the library's own emit_message; trace messages
// not at all.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  // The file ending, or a marker where the data should go on: the rest of
  // the picture would be made up grey.
  const int code = cinfo->err->msg_code;
  if (ManagerOf(cinfo).refuseTruncated && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) {
    AbandonWithMessage(cinfo);
  }
  if (cinfo->err->num_warnings++ == 0) (*cinfo->err->output_message)(cinfo);
}

struct Progress {
  jpeg_progress_mgr pub;
  int maxScans;
};

void MonitorProgress(j_common_ptr cinfo) {
  if (platform::TerminationRequested()) Abandon(cinfo, kEnding);
  if (pictureDecodeInterrupted && pictureDecodeInterrupted()) Abandon(cinfo, kClosing);
  const Progress* progress = reinterpret_cast<const Progress*>(cinfo->progress);
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > progress->maxScans) {
    char text[64];
    std::snprintf(text, sizeof text, "more than %d scans", progress->maxScans);
    Abandon(cinfo, text);
  }
}

struct MemorySource {
  jpeg_source_mgr pub;
  ResourceBlock* block;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// Only called once the bytes are used up.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
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

// Reads an open file a buffer at a time. A read interrupted by a signal is
// retried unless the process is ending.
struct FileSource {
  jpeg_source_mgr pub;
  platform::FileHandle file;
  JOCTET* buffer;
  bool ended;
};
constexpr size_t kFileBufferBytes = 64 * 1024;

boolean FillFileBuffer(j_decompress_ptr cinfo) {
  FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
  long n = -1;
  while (!src->ended) {
    std::string cause;
    n = platform::ReadFileBytes(src->file, src->buffer, kFileBufferBytes, &cause);
    if (n >= 0) break;
    if (!cause.empty()) {
      char text[160];
      std::snprintf(text, sizeof text, "read: %s", cause.c_str());
      Abandon(reinterpret_cast<j_common_ptr>(cinfo), text);
    }
    if (platform::TerminationRequested()) Abandon(reinterpret_cast<j_common_ptr>(cinfo), kEnding);
  }
  if (n <= 0) {
    src->ended = true;
    return FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<size_t>(n);
  return TRUE;
}

void SkipFileData(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  while (count > 0) {
    if (src->bytes_in_buffer == 0) {
      FillFileBuffer(cinfo);
      // Past the end: leave the end-of-image marker it supplied for the reader.
      if (reinterpret_cast<FileSource*>(src)->ended) return;
    }
    const size_t n = std::min(static_cast<size_t>(count), src->bytes_in_buffer);
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
    count -= static_cast<long>(n);
  }
}

void InstallFileSource(jpeg_decompress_struct& cinfo, platform::FileHandle file) {
  j_common_ptr common = reinterpret_cast<j_common_ptr>(&cinfo);
  FileSource* src =
      static_cast<FileSource*>((*cinfo.mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(FileSource)));
  src->buffer = static_cast<JOCTET*>((*cinfo.mem->alloc_small)(common, JPOOL_PERMANENT, kFileBufferBytes));
  src->file = file;
  src->ended = false;
  src->pub.next_input_byte = nullptr;
  src->pub.bytes_in_buffer = 0;
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillFileBuffer;
  src->pub.skip_input_data = SkipFileData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  cinfo.src = &src->pub;
}

// Where the bytes come from: a named resource (looked up once the decompressor
// exists), the caller's buffer or an open file.
struct PictureBytes {
  const char* resourceName;
  const unsigned char* data;
  size_t size;
  platform::FileHandle file;
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

// The whole-picture coefficient buffers a picture of several scans needs.
uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
  uint64_t bytes = 0;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& comp = cinfo.comp_info[c];
    const uint64_t across = (comp.width_in_blocks + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
    const uint64_t down = (comp.height_in_blocks + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
    bytes += across * down * DCTSIZE2 * sizeof(JCOEF);
  }
  return bytes;
}

std::string SizeText(const jpeg_decompress_struct& cinfo) {
  return std::to_string(cinfo.image_width) + " x " + std::to_string(cinfo.image_height);
}

// The smallest of 1/1 ... 1/8 that keeps the shorter side at least minSide.
void ChooseScale(jpeg_decompress_struct& cinfo, int minSide) {
  if (minSide <= 0) return;
  const uint64_t side = std::min(cinfo.image_width, cinfo.image_height);
  unsigned denom = 8;
  while (denom > 1 && (side + denom - 1) / denom < static_cast<uint64_t>(minSide)) denom /= 2;
  cinfo.scale_num = 1;
  cinfo.scale_denom = denom;
}

// Decodes into record.pixels; on false the record is as it was on entry.
bool Decode(PictureTexture& record, const PictureBytes& from, const DecodeLimits& limits, const char* name,
            std::string* reason) {
  // Read on the error path after the jump, so it must survive it.
  ResourceBlock* volatile block = nullptr;
  unsigned char* volatile pixels = nullptr;
  const PictureTexture before = record;

  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  errors.name = name;
  errors.reason = reason;
  errors.refuseTruncated = limits.refuseTruncated;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.output_message = OutputMessage;
  errors.pub.emit_message = EmitMessage;
  Progress progress{};
  progress.pub.progress_monitor = MonitorProgress;
  progress.maxScans = limits.maxScans;
  auto fail = [&](const std::string& why) {
    if (errors.fatal.empty()) errors.fatal = why;
    if (reason != nullptr) *reason = errors.fatal;
    jpeg_destroy_decompress(&cinfo);
    delete block;
    // A fatal error while reading rows or finishing leaves a pixel buffer that
    // nobody else would release.
    std::free(pixels);
    record = before;
    return false;
  };
  if (setjmp(errors.jump)) return fail(errors.fatal);
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress.pub;

  if (from.file != platform::kNoFile) {
    InstallFileSource(cinfo, from.file);
  } else {
    const unsigned char* data = from.data;
    size_t size = from.size;
    if (from.resourceName != nullptr && !LocateResource(from.resourceName, &data, &size)) data = nullptr;
    if (data == nullptr || size == 0) return fail(from.resourceName != nullptr ? "no such picture" : "empty file");
    block = new (std::nothrow) ResourceBlock{0, size, data};
    if (block == nullptr) return fail("out of memory");
    InstallMemorySource(cinfo, block);
  }

  jpeg_read_header(&cinfo, TRUE);
  ChooseScale(cinfo, limits.minSide);
  jpeg_calc_output_dimensions(&cinfo);
  const uint64_t outputPixels = static_cast<uint64_t>(cinfo.output_width) * cinfo.output_height;
  if (outputPixels > limits.maxPixels ||
      static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > limits.maxSourcePixels) {
    return fail("too large to show (" + SizeText(cinfo) + ")");
  }
  if (jpeg_has_multiple_scans(&cinfo) && CoefficientBytes(cinfo) > limits.maxCoefficientBytes) {
    return fail("too large to show as a progressive picture (" + SizeText(cinfo) + ")");
  }
  jpeg_start_decompress(&cinfo);
  // Only grey and colour pictures have a texture format; CMYK and YCCK (4
  // components) would be uploaded with the wrong size.
  if (cinfo.output_components != 1 && cinfo.output_components != 3) {
    return fail(cinfo.output_components == 4 ? "CMYK pictures are not supported" : "unsupported colour space");
  }

  const size_t stride = static_cast<size_t>(cinfo.output_components) * cinfo.output_width;
  const size_t bufferSize = stride * cinfo.output_height;
  pixels = static_cast<unsigned char*>(std::calloc(bufferSize, 1));
  if (pixels == nullptr) return fail("out of memory");
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

constexpr const char* kAnonymousPicture = "JPEG picture";

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
  if (!Decode(record, {resourceName, nullptr, 0, platform::kNoFile}, DecodeLimits{}, resourceName, nullptr)) return false;
  return MakePictureTexture(record);
}

bool LoadPictureTextureFromMemory(PictureTexture& record, const unsigned char* data, size_t size) {
  if (!Decode(record, {nullptr, data, size, platform::kNoFile}, DecodeLimits{}, kAnonymousPicture, nullptr)) return false;
  return MakePictureTexture(record);
}

bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, uint64_t maxPixels) {
  DecodeLimits limits;
  limits.maxPixels = maxPixels;
  return Decode(record, {nullptr, data, size, platform::kNoFile}, limits, kAnonymousPicture, nullptr);
}

bool DecodePicture(PictureTexture& record, const unsigned char* data, size_t size, const DecodeLimits& limits,
                   std::string* reason) {
  std::string kept;
  return Decode(record, {nullptr, data, size, platform::kNoFile}, limits, kAnonymousPicture, reason != nullptr ? reason : &kept);
}

bool DecodePictureFile(PictureTexture& record, platform::FileHandle file, const DecodeLimits& limits,
                       std::string* reason) {
  std::string kept;
  return Decode(record, {nullptr, nullptr, 0, file}, limits, kAnonymousPicture, reason != nullptr ? reason : &kept);
}

bool ReadPictureHeader(const char* resourceName, int* width, int* height, int* bitsPerPixel) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (resourceName == nullptr || !LocateResource(resourceName, &data, &size)) return false;
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  errors.name = resourceName;
  errors.reason = nullptr;
  errors.refuseTruncated = false;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.output_message = OutputMessage;
  errors.pub.emit_message = EmitMessage;
  ResourceBlock block{0, size, data};
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  InstallMemorySource(cinfo, &block);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_calc_output_dimensions(&cinfo);
  const bool usable = cinfo.output_components == 1 || cinfo.output_components == 3;
  *width = static_cast<int>(cinfo.output_width);
  *height = static_cast<int>(cinfo.output_height);
  *bitsPerPixel = cinfo.output_components * 8;
  jpeg_destroy_decompress(&cinfo);
  return usable;
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
