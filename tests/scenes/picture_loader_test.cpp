// The picture loader: the embedded pictures, the texture they become, the
// memory source, failures and truncations, and pictures from an independent
// encoder (cjpeg, ImageMagick), compared with an independent decode (djpeg).
#include "scenes/picture_loader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/resources.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"

namespace hl {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes ResourceBytes(const char* name) {
  platform::ResourceBytes found = platform::FindResourceBytes(name, platform::RT_RCDATA);
  return Bytes(found.data, found.data + found.size);
}

// Bytes that end where an inaccessible page begins: a read past the end by
// libjpeg (which the sanitizers do not instrument) stops the test at once.
class GuardedBytes {
 public:
  explicit GuardedBytes(const Bytes& bytes) : size_(bytes.size()) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    length_ = (size_ + page - 1) / page * page + page;
    void* map = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return;
    base_ = static_cast<unsigned char*>(map);
    mprotect(base_ + length_ - page, page, PROT_NONE);
    data_ = base_ + length_ - page - size_;
    if (size_ > 0) std::memcpy(data_, bytes.data(), size_);
  }
  ~GuardedBytes() {
    if (base_) munmap(base_, length_);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  unsigned char* base_ = nullptr;
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;
};

// Runs a shell command and returns what it wrote to standard output.
Bytes RunCommand(const std::string& command) {
  Bytes out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + n);
  if (pclose(pipe) != 0) out.clear();
  return out;
}

bool HaveEncoderTools() { return std::system("(command -v cjpeg && command -v djpeg && command -v convert) >/dev/null") == 0; }

// A picture as djpeg decodes it: PNM, grey (P5) or RGB (P6).
struct Reference {
  int width = 0, height = 0, components = 0;
  Bytes pixels;
};

Reference Djpeg(const Bytes& jpeg) {
  Reference ref;
  char path[] = "/tmp/hl-picture-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return ref;
  const bool written = write(fd, jpeg.data(), jpeg.size()) == static_cast<ssize_t>(jpeg.size());
  close(fd);
  const Bytes pnm = written ? RunCommand(std::string("djpeg -pnm ") + path) : Bytes();
  unlink(path);
  int maxValue = 0, consumed = 0;
  char magic[3] = {};
  if (pnm.size() < 16) return ref;
  const std::string header(pnm.begin(), pnm.begin() + 32);
  if (std::sscanf(header.c_str(), "%2s %d %d %d%n", magic, &ref.width, &ref.height, &maxValue, &consumed) != 4) return ref;
  ref.components = std::strcmp(magic, "P6") == 0 ? 3 : 1;
  ref.pixels.assign(pnm.begin() + consumed + 1, pnm.end());
  return ref;
}

Bytes PixelsOf(const PictureTexture& record) {
  return Bytes(record.pixels, record.pixels + static_cast<size_t>(record.width) * record.height * record.bitsPerPixel / 8);
}

// A record whose every field would show a change.
unsigned char sentinelByte;
const PictureTexture kSentinel{&sentinelByte, 7, 9, 11, 13};

void ExpectUntouched(const PictureTexture& r, const std::string& label) {
  EXPECT_EQ(r.pixels, kSentinel.pixels) << label;
  EXPECT_EQ(r.bitsPerPixel, kSentinel.bitsPerPixel) << label;
  EXPECT_EQ(r.width, kSentinel.width) << label;
  EXPECT_EQ(r.height, kSentinel.height) << label;
  EXPECT_EQ(r.textureName, kSentinel.textureName) << label;
}

// ---------------------------------------------------------------------------

struct PictureFacts {
  const char* name;
  int size;
  int bitsPerPixel;
  GLenum format;
};
const PictureFacts kPictures[] = {
    {"JPEG_EYE", 512, 24, GL_RGB},
    {"JPEG_PELIROREL", 1024, 8, GL_ALPHA},
    {"JPEG_PELIROEYE", 512, 8, GL_ALPHA},
    {"JPEG_PELIROBALL", 512, 8, GL_ALPHA},
};

// Offsets of the marker segments before the scan: the cut points below.
struct Segment {
  int marker;
  size_t offset;  // of the 0xFF
  size_t length;  // including the two length bytes
};
std::vector<Segment> SegmentsBeforeScan(const Bytes& jpeg) {
  std::vector<Segment> segments;
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
    const size_t length = (static_cast<size_t>(jpeg[i + 2]) << 8) | jpeg[i + 3];
    segments.push_back({jpeg[i + 1], i, length});
    if (jpeg[i + 1] == 0xDA) break;
    i += 2 + length;
  }
  return segments;
}

TEST(PictureResources, BaselineWithMetadataBeforeTheImageAndEndOfImageLast) {
  for (const auto& p : kPictures) {
    const Bytes jpeg = ResourceBytes(p.name);
    ASSERT_GT(jpeg.size(), 1000u) << p.name;
    EXPECT_LT(jpeg.size(), 300u * 1024) << p.name;
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF) << p.name;
    EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9) << p.name;
    size_t skipped = 0;
    bool baseline = false;
    for (const Segment& s : SegmentsBeforeScan(jpeg)) {
      if ((s.marker >= 0xE1 && s.marker <= 0xEF && s.marker != 0xEE) || s.marker == 0xFE) skipped += s.length;
      if (s.marker == 0xC0) {
        baseline = true;
        EXPECT_EQ(jpeg[s.offset + 4], 8) << p.name << ": sample precision";
        EXPECT_EQ(jpeg[s.offset + 9], p.bitsPerPixel / 8) << p.name << ": components";
      }
      EXPECT_TRUE(s.marker != 0xC1 && s.marker != 0xC2) << p.name << ": not baseline";
    }
    EXPECT_TRUE(baseline) << p.name;
    EXPECT_GE(skipped, 3000u) << p.name << ": metadata the decoder skips";
  }
}

// ---------------------------------------------------------------------------
// The memory source on its own.

TEST(MemorySource, SkipsStayInsideTheData) {
  const Bytes data(100, 0x55);
  const struct {
    long skip;
    size_t offsetAfter;
  } cases[] = {
      {0, 0}, {-1, 0}, {-100, 0}, {LONG_MIN, 0}, {1, 1}, {37, 37}, {99, 99}, {100, 100}, {101, 100}, {LONG_MAX, 100},
  };
  for (const auto& c : cases) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    ResourceBlock block{0, data.size(), data.data()};
    InstallMemorySource(cinfo, &block);
    cinfo.src->skip_input_data(&cinfo, c.skip);
    EXPECT_EQ(cinfo.src->next_input_byte, data.data() + c.offsetAfter) << "skip " << c.skip;
    EXPECT_EQ(cinfo.src->bytes_in_buffer, data.size() - c.offsetAfter) << "skip " << c.skip;
    jpeg_destroy_decompress(&cinfo);
  }
}

TEST(MemorySource, PastTheEndSuppliesEndOfImageWithAWarning) {
  const Bytes data = {0xFF, 0xD8};
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  errors.emit_message = [](j_common_ptr, int) {};  // count, but say nothing
  jpeg_create_decompress(&cinfo);
  ResourceBlock block{0, data.size(), data.data()};
  InstallMemorySource(cinfo, &block);
  EXPECT_EQ(cinfo.src->resync_to_restart, &jpeg_resync_to_restart);
  cinfo.src->skip_input_data(&cinfo, 5);
  ASSERT_EQ(cinfo.src->bytes_in_buffer, 0u);
  EXPECT_TRUE(cinfo.src->fill_input_buffer(&cinfo));
  ASSERT_EQ(cinfo.src->bytes_in_buffer, 2u);
  EXPECT_EQ(cinfo.src->next_input_byte[0], 0xFF);
  EXPECT_EQ(cinfo.src->next_input_byte[1], JPEG_EOI);
  EXPECT_EQ(errors.msg_code, JWRN_JPEG_EOF);
  // The source is not replaced by a second install: it lives in the permanent pool.
  jpeg_source_mgr* first = cinfo.src;
  InstallMemorySource(cinfo, &block);
  EXPECT_EQ(cinfo.src, first);
  EXPECT_EQ(cinfo.src->next_input_byte, data.data());
  jpeg_destroy_decompress(&cinfo);
}

// ---------------------------------------------------------------------------
// Failures and truncations, decoded without GL. Each input ends at a guard page.

TEST(PictureDecode, FailuresLeaveTheRecordAsItWas) {
  const struct {
    const char* label;
    Bytes bytes;
    const char* message;  // expected on standard error, from the library's output_message
  } cases[] = {
      {"two bytes that are not a JPEG", {'H', 'L'}, "Not a JPEG file"},
      {"one byte", {0xFF}, "Not a JPEG file"},
      {"start and end of image, no frame", {0xFF, 0xD8, 0xFF, 0xD9}, "no image"},
      {"start of image only", {0xFF, 0xD8}, "no image"},
      {"empty", {}, ""},
  };
  for (const auto& c : cases) {
    PictureTexture record = kSentinel;
    const GuardedBytes bytes(c.bytes);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DecodePicture(record, c.bytes.empty() ? nullptr : bytes.data(), bytes.size())) << c.label;
    const std::string err = testing::internal::GetCapturedStderr();
    ExpectUntouched(record, c.label);
    EXPECT_NE(err.find(c.message), std::string::npos) << c.label << ": " << err;
  }
  PictureTexture record = kSentinel;
  EXPECT_FALSE(LoadPictureTexture(record, "JPEG_NO_SUCH_PICTURE"));
  ExpectUntouched(record, "missing resource");
  EXPECT_FALSE(LoadPictureTexture(record, ""));
  ExpectUntouched(record, "empty name");
}

TEST(PictureDecode, FatalErrorsAfterTheRowsReleaseThePixelsAndLeaveTheRecord) {
  // The rows decode; then, before the end-of-image marker, a segment that
  // jpeg_finish_decompress rejects.
  const Bytes picture = ResourceBytes("JPEG_PELIROBALL");
  const struct {
    const char* label;
    Bytes segment;
    const char* message;
  } cases[] = {
      {"a Huffman table whose counts exceed 256", {0xFF, 0xC4, 0x00, 0x13, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       "Bogus Huffman table"},
      {"a second frame header", {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00},
       "two SOF markers"},
  };
  for (const auto& c : cases) {
    Bytes bytes(picture.begin(), picture.end() - 2);
    bytes.insert(bytes.end(), c.segment.begin(), c.segment.end());
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    PictureTexture record = kSentinel;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DecodePicture(record, bytes.data(), bytes.size())) << c.label;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << c.label << ": " << err;
    ExpectUntouched(record, c.label);
  }
}

TEST(PictureDecode, RefusesPicturesAboveTheLimitAfterTheHeader) {
  const Bytes jpeg = ResourceBytes("JPEG_PELIROREL");
  PictureTexture record = kSentinel;
  EXPECT_FALSE(DecodePicture(record, jpeg.data(), jpeg.size(), 1024 * 1024 - 1));
  ExpectUntouched(record, "limit");
  ASSERT_TRUE(DecodePicture(record, jpeg.data(), jpeg.size(), 1024 * 1024));
  ReleasePicturePixels(record);
}

TEST(PictureDecode, TruncationsNeverReadOutsideAndFailOrDecodeInFull) {
  for (const char* name : {"JPEG_EYE", "JPEG_PELIROBALL"}) {
    const Bytes jpeg = ResourceBytes(name);
    PictureTexture full;
    ASSERT_TRUE(DecodePicture(full, jpeg.data(), jpeg.size())) << name;
    const Bytes fullPixels = PixelsOf(full);
    ReleasePicturePixels(full);

    struct Cut {
      std::string where;
      size_t size;
      bool loads;
    };
    std::vector<Cut> cuts = {{"inside the start-of-image marker", 1, false}};
    size_t scanStart = 0;
    for (const Segment& s : SegmentsBeforeScan(jpeg)) {
      char label[64];
      std::snprintf(label, sizeof label, "marker 0x%02X", s.marker);
      cuts.push_back({std::string("before ") + label, s.offset, false});
      cuts.push_back({std::string("in the length of ") + label, s.offset + 3, false});
      // A metadata segment cut in its middle: the skip runs past the end.
      cuts.push_back({std::string("inside ") + label, s.offset + 2 + s.length / 2, false});
      if (s.marker == 0xDA) scanStart = s.offset + 2 + s.length;
    }
    ASSERT_GT(scanStart, 0u);
    cuts.push_back({"right after the scan header", scanStart, true});
    cuts.push_back({"a few bytes into the scan", scanStart + 7, true});
    cuts.push_back({"mid-scan", (scanStart + jpeg.size()) / 2, true});
    cuts.push_back({"before the end-of-image marker", jpeg.size() - 2, true});
    cuts.push_back({"inside the end-of-image marker", jpeg.size() - 1, true});

    for (const Cut& cut : cuts) {
      const std::string label = std::string(name) + " cut " + cut.where + " (" + std::to_string(cut.size) + " bytes)";
      const GuardedBytes bytes(Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(cut.size)));
      PictureTexture record = kSentinel;
      testing::internal::CaptureStderr();
      const bool loaded = DecodePicture(record, bytes.data(), bytes.size());
      const std::string err = testing::internal::GetCapturedStderr();
      ASSERT_EQ(loaded, cut.loads) << label << "\n" << err;
      if (!loaded) {
        ExpectUntouched(record, label);
        continue;
      }
      EXPECT_EQ(record.width, full.width) << label;
      EXPECT_EQ(record.height, full.height) << label;
      EXPECT_EQ(record.bitsPerPixel, full.bitsPerPixel) << label;
      const Bytes pixels = PixelsOf(record);
      ReleasePicturePixels(record);
      if (cut.size >= jpeg.size() - 2) {
        EXPECT_EQ(pixels, fullPixels) << label << ": only the final marker was missing";
      }
      if (cut.size == (scanStart + jpeg.size()) / 2) {
        // The first band of rows arrived whole.
        const size_t band = static_cast<size_t>(full.width) * full.bitsPerPixel / 8 * 8;
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + static_cast<long>(band), fullPixels.begin())) << label;
      }
      EXPECT_NE(err.find("Premature end of JPEG file"), std::string::npos) << label << ": the warning\n" << err;
    }
  }
}

TEST(PictureDecode, LimitsChooseTheScaleAndRefuseFromTheHeader) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "djpeg and jpegtran");
  const Bytes baseline = ResourceBytes("JPEG_PELIROREL");  // 1024 x 1024 grey
  const Bytes progressive = RunCommand("convert rose: -resize 333x217! ppm:- | cjpeg -progressive");
  ASSERT_FALSE(progressive.empty());
  DecodeLimits none;
  const struct {
    const char* label;
    const Bytes& jpeg;
    DecodeLimits limits;
    int side;            // of the decoded width; 0: refused
    const char* scale;   // djpeg's -scale for the same pixels
    const char* reason;  // when refused
  } cases[] = {
      {"no limits", baseline, none, 1024, "1/1", ""},
      {"1/8 keeps 128", baseline, {UINT64_MAX, UINT64_MAX, UINT64_MAX, INT_MAX, 128, false}, 128, "1/8", ""},
      {"129 needs 1/4", baseline, {UINT64_MAX, UINT64_MAX, UINT64_MAX, INT_MAX, 129, false}, 256, "1/4", ""},
      {"512 is 1/2", baseline, {UINT64_MAX, UINT64_MAX, UINT64_MAX, INT_MAX, 512, false}, 512, "1/2", ""},
      {"513 needs the whole", baseline, {UINT64_MAX, UINT64_MAX, UINT64_MAX, INT_MAX, 513, false}, 1024, "1/1", ""},
      {"pixels counted after scaling", baseline, {128 * 128, UINT64_MAX, UINT64_MAX, INT_MAX, 128, false}, 128, "1/8", ""},
      {"too many pixels", baseline, {128 * 128 - 1, UINT64_MAX, UINT64_MAX, INT_MAX, 128, false}, 0, "",
       "too large to show (1024 x 1024)"},
      {"full size counted however small the output", baseline,
       {UINT64_MAX, 1024 * 1024 - 1, UINT64_MAX, INT_MAX, 128, false}, 0, "", "too large to show (1024 x 1024)"},
      {"full size at the bound", baseline, {UINT64_MAX, 1024 * 1024, UINT64_MAX, INT_MAX, 128, false}, 128, "1/8", ""},
      {"odd sizes round up", progressive, {UINT64_MAX, UINT64_MAX, UINT64_MAX, INT_MAX, 27, false}, 42, "1/8", ""},
      // 333 x 217 at 4:2:0: 42 x 28 luma blocks, two chroma planes of 21 x 14 (rounded to the sampling).
      {"progressive coefficients fit", progressive, {UINT64_MAX, UINT64_MAX, 64 * 2 * (42 * 28 + 2 * 21 * 14), INT_MAX, 0, false},
       333, "1/1", ""},
      {"progressive coefficients too many", progressive,
       {UINT64_MAX, UINT64_MAX, 64 * 2 * (42 * 28 + 2 * 21 * 14) - 1, INT_MAX, 0, false}, 0, "",
       "too large to show as a progressive picture (333 x 217)"},
      {"scans counted", progressive, {UINT64_MAX, UINT64_MAX, UINT64_MAX, 2, 0, false}, 0, "", "more than 2 scans"},
      {"the baseline has one scan", baseline, {UINT64_MAX, UINT64_MAX, UINT64_MAX, 1, 0, false}, 1024, "1/1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    PictureTexture record = kSentinel;
    std::string reason;
    const bool loaded = DecodePicture(record, c.jpeg.data(), c.jpeg.size(), c.limits, &reason);
    ASSERT_EQ(loaded, c.side != 0) << reason;
    if (!loaded) {
      EXPECT_EQ(reason, c.reason);
      ExpectUntouched(record, c.label);
      continue;
    }
    EXPECT_EQ(record.width, c.side);
    const Bytes pixels = PixelsOf(record);
    ReleasePicturePixels(record);
    char path[] = "/tmp/hl-picture-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, c.jpeg.data(), c.jpeg.size()), static_cast<ssize_t>(c.jpeg.size()));
    close(fd);
    const Bytes pnm = RunCommand(std::string("djpeg -scale ") + c.scale + " -pnm " + path);
    unlink(path);
    ASSERT_GT(pnm.size(), pixels.size());
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), pnm.end() - static_cast<long>(pixels.size())))
        << "differs from djpeg -scale " << c.scale;
  }
}

// The file source reads what the memory source reads: every cut of a picture
// decodes, or fails, alike from a file, with the same pixels and messages.
TEST(PictureDecode, FromAFileAsFromMemoryAtEveryCut) {
  const Bytes jpeg = ResourceBytes("JPEG_PELIROBALL");
  std::vector<size_t> cuts = {1, 2, 3, 11, jpeg.size() / 2, jpeg.size() - 2, jpeg.size() - 1, jpeg.size()};
  for (const Segment& s : SegmentsBeforeScan(jpeg)) {
    cuts.push_back(s.offset + 2 + s.length / 2);  // a skip that runs past the end
    cuts.push_back(s.offset + 2 + s.length);      // right after a segment
  }
  for (const size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const Bytes bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(cut));
    PictureTexture fromMemory;
    std::string memoryReason;
    const bool memoryLoaded = DecodePicture(fromMemory, bytes.data(), bytes.size(), DecodeLimits{}, &memoryReason);

    char path[] = "/tmp/hl-picture-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    unlink(path);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    lseek(fd, 0, SEEK_SET);
    PictureTexture fromFile;
    std::string fileReason;
    const bool fileLoaded = DecodePictureFile(fromFile, fd, DecodeLimits{}, &fileReason);
    close(fd);

    ASSERT_EQ(fileLoaded, memoryLoaded) << memoryReason << " / " << fileReason;
    if (!memoryLoaded) {
      EXPECT_EQ(fileReason, memoryReason);
      continue;
    }
    EXPECT_EQ(PixelsOf(fromFile), PixelsOf(fromMemory));
    ReleasePicturePixels(fromFile);
    ReleasePicturePixels(fromMemory);
  }
}

// ---------------------------------------------------------------------------
// Pictures made by an independent encoder.

struct EncodedCase {
  const char* label;
  const char* command;  // writes a JPEG to standard output
  int width, height, bitsPerPixel;
  bool loads;
};

const EncodedCase kEncoded[] = {
    {"baseline colour, odd size", "convert rose: -resize 333x217! ppm:- | cjpeg -quality 90", 333, 217, 24, true},
    {"progressive colour", "convert rose: -resize 333x217! ppm:- | cjpeg -progressive", 333, 217, 24, true},
    {"restart marker every MCU row", "convert rose: -resize 160x96! ppm:- | cjpeg -restart 1", 160, 96, 24, true},
    {"restart marker every MCU, 4:4:4", "convert rose: ppm:- | cjpeg -restart 1b -sample 1x1", 70, 46, 24, true},
    {"arithmetic coding", "convert rose: ppm:- | cjpeg -arithmetic", 70, 46, 24, true},
    {"grey, width 333", "convert -size 217x333 gradient:white-black -rotate 90 pgm:- | cjpeg -grayscale", 333, 217, 8,
     true},
    {"grey progressive, 1 pixel high", "convert -size 97x1 gradient:white-black pgm:- | cjpeg -progressive", 97, 1, 8,
     true},
    {"grey from colour by ImageMagick", "convert rose: -colorspace Gray -type Grayscale jpg:-", 70, 46, 8, true},
    {"CMYK by ImageMagick", "convert rose: -colorspace CMYK jpg:-", 70, 46, 0, false},
};

TEST(PictureDecode, IndependentEncoderPicturesDecodeAsDjpegDoesOrFailCleanly) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "cjpeg, djpeg and convert");
  for (const auto& c : kEncoded) {
    const Bytes jpeg = RunCommand(c.command);
    ASSERT_FALSE(jpeg.empty()) << c.label << ": " << c.command;
    PictureTexture record = kSentinel;
    const bool loaded = DecodePicture(record, jpeg.data(), jpeg.size());
    ASSERT_EQ(loaded, c.loads) << c.label;
    if (!loaded) {
      ExpectUntouched(record, c.label);
      continue;
    }
    EXPECT_EQ(record.width, c.width) << c.label;
    EXPECT_EQ(record.height, c.height) << c.label;
    EXPECT_EQ(record.bitsPerPixel, c.bitsPerPixel) << c.label;
    const Bytes pixels = PixelsOf(record);
    ReleasePicturePixels(record);
    const Reference ref = Djpeg(jpeg);
    EXPECT_EQ(ref.components * 8, c.bitsPerPixel) << c.label;
    EXPECT_TRUE(pixels == ref.pixels) << c.label << ": differs from djpeg's decode";
  }
}

// ---------------------------------------------------------------------------
// On the headless GL context.

class PictureLoaderGl : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 64, 64), "a headless EGL context");
  }

  // Level `level` of the bound texture as stored, one byte per component.
  static Bytes TexLevel(GLenum format, int level, int* width, int* height) {
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, height);
    Bytes texels(static_cast<size_t>(*width) * *height * (format == GL_RGB ? 3 : 1));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, texels.data());
    return texels;
  }

  static void ExpectTextureState(const PictureTexture& record, GLenum format, const std::string& label) {
    GLint bound = 0, value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), record.textureName) << label << ": left bound";
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR) << label;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR) << label;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT) << label;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT) << label;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE) << label;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_EQ(value, static_cast<GLint>(format)) << label;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 4) << label << ": the unpack alignment is put back";
    // A full chain of mipmaps, down to 1 x 1.
    GLint width = 0, height = 0, level = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    for (int w = width, h = height; w > 1 || h > 1; w = std::max(1, w / 2), h = std::max(1, h / 2)) ++level;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 1) << label << ": level " << level;
    EXPECT_EQ(height, 1) << label << ": level " << level;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << label;
  }

  platform::HeadlessGlContext context;
};

TEST_F(PictureLoaderGl, EmbeddedPicturesBecomeMipmappedTexturesOfTheirDecodedRows) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "djpeg");
  for (const auto& p : kPictures) {
    PictureTexture record;
    ASSERT_TRUE(LoadPictureTexture(record, p.name)) << p.name;
    EXPECT_EQ(record.width, p.size) << p.name;
    EXPECT_EQ(record.height, p.size) << p.name;
    EXPECT_EQ(record.bitsPerPixel, p.bitsPerPixel) << p.name;
    EXPECT_NE(record.textureName, 0u) << p.name;
    ExpectTextureState(record, p.format, p.name);
    // Level 0 holds the rows top first, exactly as an independent decoder gives them.
    int width = 0, height = 0;
    const Bytes texels = TexLevel(p.format, 0, &width, &height);
    EXPECT_EQ(width, p.size);
    const Reference ref = Djpeg(ResourceBytes(p.name));
    EXPECT_TRUE(texels == ref.pixels) << p.name << ": texture differs from djpeg's decode";
  }
}

TEST_F(PictureLoaderGl, FirstDecodedRowIsTheTopOfThePicture) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "cjpeg and convert");
  // White at the top, black at the bottom.
  const Bytes jpeg = RunCommand("convert -size 64x64 gradient:white-black pgm:- | cjpeg -grayscale");
  ASSERT_FALSE(jpeg.empty());
  PictureTexture record;
  ASSERT_TRUE(DecodePicture(record, jpeg.data(), jpeg.size()));
  EXPECT_GT(record.pixels[0], 240);
  EXPECT_LT(record.pixels[63 * 64], 15);
  ReleasePicturePixels(record);

  ASSERT_TRUE(LoadPictureTextureFromMemory(record, jpeg.data(), jpeg.size()));
  int width = 0, height = 0;
  const Bytes texels = TexLevel(GL_ALPHA, 0, &width, &height);
  ASSERT_EQ(texels.size(), 64u * 64);
  EXPECT_GT(texels[0], 240) << "t = 0 is the top edge";
  EXPECT_LT(texels[63 * 64], 15) << "t = 1 is the bottom edge";
}

TEST_F(PictureLoaderGl, PicturesFromBytesBecomeTexturesOrLeaveNone) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "cjpeg and convert");
  for (const auto& c : kEncoded) {
    const Bytes jpeg = RunCommand(c.command);
    ASSERT_FALSE(jpeg.empty()) << c.label;
    PictureTexture record = kSentinel;
    GLint boundBefore = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundBefore);
    ASSERT_EQ(LoadPictureTextureFromMemory(record, jpeg.data(), jpeg.size()), c.loads) << c.label;
    if (!c.loads) {
      ExpectUntouched(record, c.label);
      GLint bound = 0;
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
      EXPECT_EQ(bound, boundBefore) << c.label << ": no texture made";
      continue;
    }
    const GLenum format = c.bitsPerPixel == 24 ? GL_RGB : GL_ALPHA;
    ExpectTextureState(record, format, c.label);
  }
}

TEST_F(PictureLoaderGl, RowsThatAreNotAMultipleOfFourBytesUploadUnskewed) {
  HL_REQUIRE_CAPABILITY(HaveEncoderTools(), "cjpeg and convert");
  // Every row the same left-to-right gradient, 333 bytes a row: read with the
  // default alignment of 4 the rows would drift by 3 texels each.
  const Bytes jpeg = RunCommand(kEncoded[5].command);
  PictureTexture record;
  ASSERT_TRUE(LoadPictureTextureFromMemory(record, jpeg.data(), jpeg.size()));
  int width = 0, height = 0;
  const Bytes texels = TexLevel(GL_ALPHA, 0, &width, &height);
  ASSERT_GT(width, 16);
  ASSERT_GT(height, 16);
  EXPECT_LT(texels[0], 55);  // black at the left
  EXPECT_GT(texels[width - 1], 200);
  double worst = 0;
  for (int y = 1; y < height; ++y) {
    double diff = 0;
    for (int x = 0; x < width; ++x) diff += std::abs(texels[y * width + x] - texels[x]);
    worst = std::max(worst, diff / width);
  }
  EXPECT_LT(worst, 4.0) << "mean difference from the first row, worst row";
}

}  // namespace
}  // namespace hl
