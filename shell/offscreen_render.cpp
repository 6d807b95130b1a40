#include "shell/offscreen_render.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/png_image.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"

namespace hl {
namespace {

void Fail(const std::string& message) { std::fprintf(stderr, "harbor-lights: %s\n", message.c_str()); }

// Makes `directory` (and its parents) when missing, and checks that files can
// be made in it.
bool PrepareDirectory(const std::string& directory, std::string* error) {
  for (size_t slash = 1; slash <= directory.size(); ++slash) {
    if (slash != directory.size() && directory[slash] != '/') continue;
    const std::string prefix = directory.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = prefix + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat info {};
  if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = directory + ": not a folder";
    return false;
  }
  if (access(directory.c_str(), W_OK | X_OK) != 0) {
    *error = directory + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string FramePath(const std::string& directory, long index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%05ld.png", index);
  return directory + "/" + name;
}

}  // namespace

int RunOffscreenRender(const RenderOptions& options, bool mirrors) {
  std::string error;
  if (!PrepareDirectory(options.directory, &error)) {
    Fail("cannot write frames to " + error);
    return 1;
  }
  const long frames = std::max(1L, std::lround(options.seconds * options.fps));

  // A virtual clock that steps exactly: frame k is drawn at renderer time k/F,
  // and the seed stands in for the calendar time the renderer seeds from.
  platform::VirtualTimeSource clock;
  clock.SetCalendarTime(options.seedGiven ? static_cast<std::time_t>(options.seed) : std::time(nullptr));
  platform::UseTimeSource(&clock);

  platform::HeadlessGlContext context;
  if (!context.Create(options.width, options.height)) {
    platform::UseTimeSource(nullptr);
    Fail("cannot create an offscreen OpenGL context");
    return 1;
  }

  KaleidoscopeRenderer renderer;
  deferHiddenPictures = true;  // the frames are known: decode only the pictures they show
  renderer.Create(options.width, options.height);

  const bool progress = isatty(STDERR_FILENO) && frames > 1;
  int status = 0;
  for (long k = 0; k < frames; ++k) {
    clock.SetCounter(std::llround(static_cast<double>(k) * clock.CounterFrequency() / options.fps));
    renderer.Frame(mirrors);
    // The frame is what a screen shows: opaque, whatever alpha the blending left.
    const platform::RgbaImage image = context.ReadPixels();
    if (!platform::WritePng(FramePath(options.directory, k), image, &error, /*keepAlpha=*/false)) {
      if (progress) std::fputc('\n', stderr);
      Fail("cannot write " + error);
      status = 1;
      break;
    }
    if (progress) std::fprintf(stderr, "\rharbor-lights: frame %ld of %ld", k + 1, frames);
  }
  if (progress) std::fputc('\n', stderr);

  renderer.Destroy();
  context.Destroy();
  platform::UseTimeSource(nullptr);
  return status;
}

}  // namespace hl
