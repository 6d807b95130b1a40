// Writes the program's icon: an .ico file with two images, 32 × 32 and
// 16 × 16 pixels, 16 colours each (4 bits per pixel with the classic 16-colour
// palette), showing a small eight-fold kaleidoscope inside a round mask.
//   hl_make_icon OUTPUT.ico
// The same bytes every time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The 16 colours of the classic palette, as red, green, blue.
constexpr uint8_t kPalette[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

void Put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The colour index of pixel (x, y) of a size × size image, or -1 outside the
// round mask. Pixel centres are folded into one wedge of 45°, mirrored about
// its middle, so the pattern repeats eight times around the centre.
int PixelColour(int x, int y, int size) {
  const double half = size / 2.0;
  const double dx = x + 0.5 - half;
  const double dy = half - (y + 0.5);
  const double r = std::sqrt(dx * dx + dy * dy) / half;  // 0 at the centre, 1 at the rim
  if (r > 1.0) return -1;
  const double kWedge = 3.14159265358979 / 4;
  double a = std::fmod(std::atan2(dy, dx) + 2 * 3.14159265358979, kWedge);
  if (a > kWedge / 2) a = kWedge - a;  // the mirror
  const double t = a / (kWedge / 2);    // 0 on a wedge edge, 1 in its middle
  if (r > 0.86) return 4;               // dark blue rim
  if (r < 0.18) return 15;              // white centre
  const int band = static_cast<int>((r + 0.35 * t) * 4);
  static const int kBands[] = {11, 9, 13, 14, 12, 10};
  return kBands[band % 6];
}

// One image as an icon resource holds it: the header, the palette, the colour
// bits (bottom row first, rows padded to four bytes) and the 1-bit mask (1:
// transparent).
std::vector<uint8_t> IconImage(int size) {
  const int colourRow = ((size * 4 + 31) / 32) * 4;
  const int maskRow = ((size + 31) / 32) * 4;
  std::vector<uint8_t> out;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(size));
  Put32(out, static_cast<uint32_t>(size * 2));  // colour bits and mask together
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);  // no compression
  Put32(out, static_cast<uint32_t>((colourRow + maskRow) * size));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 0);
  for (const auto& c : kPalette) {
    out.push_back(c[2]);
    out.push_back(c[1]);
    out.push_back(c[0]);
    out.push_back(0);
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(colourRow, 0);
    for (int x = 0; x < size; ++x) {
      const int colour = PixelColour(x, y, size);
      const uint8_t index = colour < 0 ? 0 : static_cast<uint8_t>(colour);
      row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRow, 0);
    for (int x = 0; x < size; ++x) {
      if (PixelColour(x, y, size) < 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hl_make_icon OUTPUT.ico\n");
    return 2;
  }
  const int sizes[] = {32, 16};
  std::vector<std::vector<uint8_t>> images;
  for (int size : sizes) images.push_back(IconImage(size));

  std::vector<uint8_t> file;
  Put16(file, 0);  // reserved
  Put16(file, 1);  // an icon
  Put16(file, static_cast<unsigned>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<uint8_t>(sizes[i]));
    file.push_back(static_cast<uint8_t>(sizes[i]));
    file.push_back(16);  // colours
    file.push_back(0);
    Put16(file, 1);  // planes
    Put16(file, 4);  // bits per pixel
    Put32(file, static_cast<uint32_t>(images[i].size()));
    Put32(file, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());

  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "hl_make_icon: cannot write %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
