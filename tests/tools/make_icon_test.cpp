// The icon tool writes an .ico that the resource compiler and the system read:
// two 16-colour images, 32 x 32 and 16 x 16, in the layout icon resources use.
// The tool runs as the build runs it; the file is read back field by field.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t U16(const std::vector<uint8_t>& d, size_t at) { return d.at(at) | d.at(at + 1) << 8; }
uint32_t U32(const std::vector<uint8_t>& d, size_t at) { return U16(d, at) | U16(d, at + 2) << 16; }

int RunTool(const std::string& arguments) {
  const int status = std::system((std::string(HL_MAKE_ICON) + " " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class MakeIcon : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hl-icon-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::vector<uint8_t> Make(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    EXPECT_EQ(RunTool("'" + path + "'"), 0);
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string dir_;
};

// One decoded image: colour indices, and -1 where the mask makes it transparent.
struct Image {
  int size = 0;
  std::vector<int> pixels;  // top row first
  int At(int x, int y) const { return pixels[static_cast<size_t>(y * size + x)]; }
};

Image Decode(const std::vector<uint8_t>& d, size_t offset, int size) {
  Image image;
  image.size = size;
  image.pixels.assign(static_cast<size_t>(size * size), 0);
  const size_t colourRow = static_cast<size_t>((size * 4 + 31) / 32 * 4);
  const size_t maskRow = static_cast<size_t>((size + 31) / 32 * 4);
  const size_t colours = offset + 40 + 16 * 4;
  const size_t mask = colours + colourRow * static_cast<size_t>(size);
  for (int y = 0; y < size; ++y) {
    const size_t row = static_cast<size_t>(size - 1 - y);  // bottom row first in the file
    for (int x = 0; x < size; ++x) {
      const uint8_t pair = d.at(colours + row * colourRow + static_cast<size_t>(x / 2));
      const int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
      const bool transparent = d.at(mask + row * maskRow + static_cast<size_t>(x / 8)) & (0x80 >> (x % 8));
      image.pixels[static_cast<size_t>(y * size + x)] = transparent ? -1 : index;
    }
  }
  return image;
}

TEST_F(MakeIcon, WritesTwoSixteenColourImagesInTheIconLayout) {
  const std::vector<uint8_t> d = Make("icon.ico");
  ASSERT_GE(d.size(), 6u + 2 * 16);
  EXPECT_EQ(U16(d, 0), 0u);
  EXPECT_EQ(U16(d, 2), 1u) << "type 1: an icon";
  ASSERT_EQ(U16(d, 4), 2u) << "two images";

  const int sizes[] = {32, 16};
  size_t expectedOffset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE("image " + std::to_string(sizes[i]));
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    const int size = sizes[i];
    EXPECT_EQ(d[entry], size);
    EXPECT_EQ(d[entry + 1], size);
    EXPECT_EQ(d[entry + 2], 16) << "colours";
    EXPECT_EQ(U16(d, entry + 4), 1u) << "planes";
    EXPECT_EQ(U16(d, entry + 6), 4u) << "bits per pixel";
    const uint32_t bytes = U32(d, entry + 8);
    const uint32_t offset = U32(d, entry + 12);
    EXPECT_EQ(offset, expectedOffset) << "images follow the directory without gaps";
    // Header, 16-entry palette, 4-bit rows and 1-bit mask rows, each padded to 4 bytes.
    const uint32_t colourRow = (size * 4 + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + 16 * 4 + (colourRow + maskRow) * static_cast<uint32_t>(size));
    ASSERT_LE(offset + bytes, d.size());
    EXPECT_EQ(U32(d, offset), 40u);
    EXPECT_EQ(U32(d, offset + 4), static_cast<uint32_t>(size));
    EXPECT_EQ(U32(d, offset + 8), static_cast<uint32_t>(2 * size)) << "colour bits and mask";
    EXPECT_EQ(U16(d, offset + 14), 4u);
    EXPECT_EQ(U32(d, offset + 16), 0u) << "uncompressed";
    expectedOffset = offset + bytes;
  }
  EXPECT_EQ(expectedOffset, d.size()) << "nothing after the last image";
}

// The picture, decoded as the system would: round, and eight-fold symmetric
// about the centre (mirrored left to right, top to bottom and across the
// diagonal). Rows packed without their padding break these.
TEST_F(MakeIcon, ImagesAreRoundKaleidoscopes) {
  const std::vector<uint8_t> d = Make("icon.ico");
  ASSERT_EQ(U16(d, 4), 2u);
  for (int i = 0; i < 2; ++i) {
    const int size = d[6 + 16 * static_cast<size_t>(i)];
    SCOPED_TRACE("image " + std::to_string(size));
    const Image image = Decode(d, U32(d, 6 + 16 * static_cast<size_t>(i) + 12), size);
    EXPECT_EQ(image.At(0, 0), -1) << "corners are transparent";
    EXPECT_EQ(image.At(size - 1, size - 1), -1);
    EXPECT_EQ(image.At(size / 2, size / 2), 15) << "the centre is white";
    EXPECT_NE(image.At(size / 2, 1), -1) << "the disc reaches the edge";
    int differing = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const int v = image.At(x, y);
        if (v != image.At(size - 1 - x, y) || v != image.At(x, size - 1 - y) || v != image.At(y, x)) ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

TEST_F(MakeIcon, SameBytesEveryTimeAndFailuresAreReported) {
  EXPECT_EQ(Make("a.ico"), Make("b.ico"));
  EXPECT_EQ(RunTool(""), 2) << "no output named";
  EXPECT_EQ(RunTool("'" + dir_ + "/no-such-folder/icon.ico'"), 1);
}

}  // namespace
