#include "scenes/user_pictures.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/files.h"

namespace hl {

std::string userPictureFolder;

namespace {

// Bounds on what a file may make us read and decode: far above any photo,
// far below what would exhaust memory.
constexpr size_t kMaxFileBytes = 256 << 20;
constexpr uint64_t kMaxDecodedPixels = 100'000'000;

bool HasJpegName(const char* name) {
  const size_t n = std::strlen(name);
  auto endsWith = [&](const char* suffix) {
    const size_t m = std::strlen(suffix);
    return n > m && strcasecmp(name + n - m, suffix) == 0;
  };
  return endsWith(".jpg") || endsWith(".jpeg");
}

}  // namespace

std::vector<std::string> FirstPictureFiles(const std::string& folder, size_t count) {
  std::vector<std::string> names;
  if (folder.empty() || count == 0) return names;
  for (std::string& name : platform::RegularFileNames(folder)) {
    if (HasJpegName(name.c_str())) names.push_back(std::move(name));
  }
  const size_t keep = std::min(count, names.size());
  std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(keep), names.end());
  names.resize(keep);
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  for (auto& name : names) name = prefix + name;
  return names;
}

bool SquarePicture(PictureTexture& record) {
  const int components = record.bitsPerPixel / 8;
  const int side = std::min(record.width, record.height);
  if (components < 1 || side < 1) return false;
  int target = 1;
  while (target * 2 <= std::min(side, kUserPictureMaxSide)) target *= 2;
  if (side == target && record.width == record.height) return true;

  auto* squared = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(target) * target * components));
  if (!squared) return false;
  const int left = (record.width - side) / 2, top = (record.height - side) / 2;
  const size_t stride = static_cast<size_t>(record.width) * components;
  // Each target texel averages the source block it covers (box filter); the
  // block edges fall on whole source texels, so every texel counts once.
  for (int ty = 0; ty < target; ++ty) {
    const int y0 = top + static_cast<int>(static_cast<int64_t>(ty) * side / target);
    const int y1 = top + static_cast<int>(static_cast<int64_t>(ty + 1) * side / target);
    for (int tx = 0; tx < target; ++tx) {
      const int x0 = left + static_cast<int>(static_cast<int64_t>(tx) * side / target);
      const int x1 = left + static_cast<int>(static_cast<int64_t>(tx + 1) * side / target);
      for (int c = 0; c < components; ++c) {
        uint64_t sum = 0;
        for (int y = y0; y < y1; ++y) {
          const unsigned char* row = record.pixels + static_cast<size_t>(y) * stride;
          for (int x = x0; x < x1; ++x) sum += row[static_cast<size_t>(x) * components + c];
        }
        const uint64_t n = static_cast<uint64_t>(y1 - y0) * static_cast<uint64_t>(x1 - x0);
        squared[(static_cast<size_t>(ty) * target + tx) * components + c] =
            static_cast<unsigned char>((sum + n / 2) / n);
      }
    }
  }
  std::free(record.pixels);
  record.pixels = squared;
  record.width = record.height = target;
  return true;
}

bool LoadUserPictureTexture(PictureTexture& record, const std::string& path) {
  std::vector<unsigned char> bytes;
  if (!platform::ReadRegularFile(path, kMaxFileBytes, &bytes)) return false;
  PictureTexture decoded = record;
  if (!DecodePicture(decoded, bytes.data(), bytes.size(), kMaxDecodedPixels)) return false;
  bytes = {};
  if (!SquarePicture(decoded)) {
    ReleasePicturePixels(decoded);
    return false;
  }
  record = decoded;
  return MakePictureTexture(record);
}

}  // namespace hl
