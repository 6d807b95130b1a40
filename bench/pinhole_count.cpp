// Counts the pinholes of rendered frames: pixels inside the kaleidoscope's disc
// (the circle every turn of the layers' squares covers) that are black while
// none of their 8 neighbours is. Prints per frame folder the total, the frames
// that have any, and how many distinct places they stand on.
//
//   pinhole-count DIR...     (DIR holds frame-*.png from --render)
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/png_image.h"

namespace {

int MaxChannel(const uint8_t* p) { return std::max({p[0], p[1], p[2]}); }

void Pinholes(const platform::RgbaImage& image, std::vector<std::pair<int, int>>* found) {
  const double radius = 9.0 / 5.5 * image.height / 2.0 - 2.0;
  for (int y = 1; y + 1 < image.height; ++y)
    for (int x = 1; x + 1 < image.width; ++x) {
      const double dx = x + 0.5 - image.width / 2.0, dy = y + 0.5 - image.height / 2.0;
      if (dx * dx + dy * dy >= radius * radius || MaxChannel(image.At(x, y)) != 0) continue;
      bool isolated = true;
      for (int j = -1; j <= 1 && isolated; ++j)
        for (int i = -1; i <= 1; ++i)
          if ((i || j) && MaxChannel(image.At(x + i, y + j)) < 8) isolated = false;
      if (isolated) found->emplace_back(x, y);
    }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: pinhole-count DIR...\n");
    return 2;
  }
  for (int a = 1; a < argc; ++a) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(argv[a])) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("frame-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".png")
          names.push_back(name);
      }
      closedir(dir);
    }
    std::sort(names.begin(), names.end());
    long total = 0;
    int framesWithAny = 0;
    std::set<std::pair<int, int>> places;
    for (const std::string& name : names) {
      platform::RgbaImage image;
      std::string error;
      if (!platform::ReadPng(std::string(argv[a]) + "/" + name, &image, &error)) {
        std::fprintf(stderr, "pinhole-count: %s/%s: %s\n", argv[a], name.c_str(), error.c_str());
        return 1;
      }
      std::vector<std::pair<int, int>> found;
      Pinholes(image, &found);
      total += static_cast<long>(found.size());
      if (!found.empty()) ++framesWithAny;
      places.insert(found.begin(), found.end());
    }
    std::printf("%s: %zu frames, %ld pinholes in %d of them, at %zu places\n", argv[a], names.size(), total,
                framesWithAny, places.size());
  }
  return 0;
}
