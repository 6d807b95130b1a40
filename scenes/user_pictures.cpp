#include "scenes/user_pictures.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "platform/error_sink.h"
#include "platform/files.h"
#include "platform/termination.h"

namespace hl {

std::string userPictureFolder;

namespace {

constexpr uint64_t kMaxDecodedPixels = 16u << 20;
constexpr uint64_t kMaxSourcePixels = 20000ull * 20000;  // about a second of decoding at most
constexpr uint64_t kMaxCoefficientBytes = 192u << 20;
constexpr int kMaxScans = 100;

bool HasJpegName(const char* name) {
  const size_t n = std::strlen(name);
  auto endsWith = [&](const char* suffix) {
    const size_t m = std::strlen(suffix);
    return n > m && strcasecmp(name + n - m, suffix) == 0;
  };
  return endsWith(".jpg") || endsWith(".jpeg");
}

std::string MegabytesText(long long bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

// Squares a decoded picture; on false the pixels are released and the record
// left as `before`.
bool Square(PictureTexture& record, PictureTexture& decoded, std::string* reason) {
  if (!SquarePicture(decoded)) {
    ReleasePicturePixels(decoded);
    if (reason) *reason = "out of memory";
    return false;
  }
  record = decoded;
  return true;
}

}  // namespace

std::vector<std::string> FirstPictureFiles(const std::string& folder, size_t count) {
  return FirstPictureFiles(folder, count, nullptr);
}

std::vector<std::string> FirstPictureFiles(const std::string& folder, size_t count, std::string* error) {
  std::vector<std::string> names;
  if (folder.empty() || count == 0) return names;
  names = platform::RegularFileNames(folder, HasJpegName, error);
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

DecodeLimits UserPictureLimits() {
  DecodeLimits limits;
  limits.maxPixels = kMaxDecodedPixels;
  limits.maxSourcePixels = kMaxSourcePixels;
  limits.maxCoefficientBytes = kMaxCoefficientBytes;
  limits.maxScans = kMaxScans;
  limits.minSide = kUserPictureMaxSide;
  limits.refuseTruncated = true;
  return limits;
}

bool ReadUserPicture(PictureTexture& record, const std::string& path, std::string* reason) {
  std::string cause;
  if (!reason) reason = &cause;
  int64_t size = 0;
  const platform::FileHandle file = platform::OpenRegularFile(path, &size, reason);
  if (file == platform::kNoFile) return false;
  bool ok = false;
  if (size == 0) {
    *reason = "empty file";
  } else if (size > kUserPictureMaxFileBytes) {
    *reason = "file too large (" + MegabytesText(size) + ", at most " + MegabytesText(kUserPictureMaxFileBytes) + ")";
  } else {
    PictureTexture decoded = record;
    ok = DecodePictureFile(decoded, file, UserPictureLimits(), reason) && Square(record, decoded, reason);
  }
  platform::CloseFile(file);
  return ok;
}

bool ReadUserPictureBytes(PictureTexture& record, const unsigned char* data, size_t size, std::string* reason,
                          const DecodeLimits& limits) {
  PictureTexture decoded = record;
  return DecodePicture(decoded, data, size, limits, reason) && Square(record, decoded, reason);
}

bool LoadUserPictureTexture(PictureTexture& record, const std::string& path, std::string* reason) {
  if (!ReadUserPicture(record, path, reason)) return false;
  return MakePictureTexture(record);
}

void LoadUserPictures(const std::string& folder, PictureTexture* textures, int count, bool* loaded) {
  for (int i = 0; i < count; ++i) loaded[i] = false;
  if (folder.empty() || count <= 0) return;
  // Each renderer (one per monitor, a preview restarted) loads the pictures
  // again; the user hears about each problem once.
  static std::set<std::string> reported;
  auto reportOnce = [](const std::string& what, const std::string& line) {
    if (reported.insert(what + "\n" + line).second) platform::ReportError(what, line);
  };
  std::string folderError;
  const std::vector<std::string> files = FirstPictureFiles(folder, static_cast<size_t>(count), &folderError);
  int used = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string reason;
    if (LoadUserPictureTexture(textures[i], files[i], &reason)) {
      loaded[i] = true;
      ++used;
    } else if (PictureDecodingGivenUp()) {
      return;  // the process is ending or the saver closing: nothing to tell
    } else {
      reportOnce(files[i], reason + "; using the built-in picture");
    }
  }
  if (used > 0) return;
  if (!folderError.empty()) {
    reportOnce(folder, folderError + "; using the built-in pictures");
  } else {
    reportOnce(folder, std::string(files.empty() ? "no JPEG picture" : "no usable JPEG picture") +
                           "; using the built-in pictures");
  }
}

}  // namespace hl
