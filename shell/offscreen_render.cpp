// --render: frames drawn on the headless context at exact virtual times, then
// handed to a second thread that encodes and writes frame k while frame k + 1
// is drawn. Frames go to a folder as PNG files, each written beside its name
// and renamed into place, or to standard output as a YUV4MPEG2 stream.
#include "shell/offscreen_render.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/linux/png_encoder.h"
#include "platform/linux/y4m_stream.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"

namespace hl {
namespace {

void Fail(const std::string& message) { std::fprintf(stderr, "harbor-lights: %s\n", message.c_str()); }

std::string FrameName(long index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%05ld.png", index);
  return name;
}

// Above this many pixels (a 4096 x 4096 frame takes 64 MiB) a frame is drawn
// only once the one before is written, and encoded a row at a time: a render
// keeps one copy of a frame, not the three that the fast path would need.
constexpr int64_t kLargeFramePixels = int64_t{4096} * 4096;

bool IsLargeFrame(int width, int height) { return int64_t{width} * height > kLargeFramePixels; }

bool IsFrameName(const char* name) {
  const size_t n = std::strlen(name);
  return n >= 10 && std::strncmp(name, "frame-", 6) == 0 && std::strcmp(name + n - 4, ".png") == 0;
}

// Writes all of `size` bytes, through short writes and interrupted calls.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Where the frames go. Write is called on the writing thread, one frame at a
// time, in order.
class FrameOutput {
 public:
  virtual ~FrameOutput() = default;
  // False ends the render: with `error` set it failed; with `error` empty
  // the reader has gone and the render ends quietly.
  virtual bool Write(const platform::RgbaImage& image, long index, std::string* error) = 0;
};

class PngFolder : public FrameOutput {
 public:
  PngFolder(std::string directory, int folder) : directory_(std::move(directory)), folder_(folder) {}
  ~PngFolder() override { close(folder_); }

  bool Write(const platform::RgbaImage& image, long index, std::string* error) override {
    const std::string name = FrameName(index);
    // The frame is what a screen shows: opaque, whatever alpha the blending
    // left. A large frame is encoded a row at a time rather than in memory.
    const bool large = IsLargeFrame(image.width, image.height);
    if (!large && !platform::EncodePng(image, /*keepAlpha=*/false, &bytes_, error)) {
      *error = directory_ + "/" + name + ": " + *error;
      return false;
    }
    return WriteBeside(name, large ? &image : nullptr, error);
  }

 private:
  // A file of a hidden name beside the frame's, made new (never a link or a
  // file already there), then renamed over the frame's name: a reader never
  // sees a part of a frame, and a link planted under either name is never
  // followed.
  bool WriteBeside(const std::string& name, const platform::RgbaImage* streamed, std::string* error) {
    const std::string part = "." + name + "." + std::to_string(getpid()) + ".part";
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(folder_, part.c_str(), flags, 0644);
    if (fd < 0 && errno == EEXIST && unlinkat(folder_, part.c_str(), 0) == 0) {
      fd = openat(folder_, part.c_str(), flags, 0644);  // left by an earlier run of this process id
    }
    if (fd < 0) return Failed(name, error);
    bool written = false;
    int cause = 0;
    if (streamed) {
      std::FILE* file = fdopen(fd, "wb");
      if (!file) {
        cause = errno;
        close(fd);
      } else {
        std::string ignored;
        written = platform::WritePng(file, name, *streamed, &ignored, /*keepAlpha=*/false);
        if (!written) cause = errno ? errno : EIO;
        if (std::fclose(file) != 0 && written) {
          written = false;
          cause = errno;
        }
      }
    } else {
      written = WriteAll(fd, bytes_.data(), bytes_.size());
      if (!written) cause = errno;
      if (close(fd) != 0 && written) {
        written = false;
        cause = errno;
      }
    }
    if (written && renameat(folder_, part.c_str(), folder_, name.c_str()) != 0) {
      written = false;
      cause = errno;
    }
    if (!written) {
      unlinkat(folder_, part.c_str(), 0);
      errno = cause;
      return Failed(name, error);
    }
    return true;
  }

  bool Failed(const std::string& name, std::string* error) const {
    *error = "cannot write " + directory_ + "/" + name + ": " + std::strerror(errno);
    return false;
  }

  std::string directory_;
  int folder_;
  std::vector<uint8_t> bytes_;
};

class Y4mStream : public FrameOutput {
 public:
  Y4mStream(int fd, std::string header) : fd_(fd), header_(std::move(header)) {}

  bool Write(const platform::RgbaImage& image, long, std::string* error) override {
    std::string prefix = header_ + "FRAME\n";
    header_.clear();
    platform::RgbaToYuv444(image, &planes_);
    if (WriteAll(fd_, reinterpret_cast<const uint8_t*>(prefix.data()), prefix.size()) &&
        WriteAll(fd_, planes_.data(), planes_.size())) {
      return true;
    }
    if (errno == EPIPE) {
      error->clear();  // the reader has all it wanted
    } else {
      *error = std::string("cannot write the video stream: ") + std::strerror(errno);
    }
    return false;
  }

 private:
  int fd_;
  std::string header_;
  std::vector<uint8_t> planes_;
};

// The second thread: takes one frame at a time and writes it while the next
// is drawn. Frames stay in order; the drawing waits when the writing lags.
class FrameWriter {
 public:
  explicit FrameWriter(FrameOutput* output) : output_(output), thread_([this] { Run(); }) {}
  ~FrameWriter() { Finish(); }

  // Hands over frame `index`; false once the writing has ended (see Ended).
  bool Submit(platform::RgbaImage image, long index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !full_ || ended_; });
    if (ended_) return false;
    pending_ = std::move(image);
    pendingIndex_ = index;
    full_ = true;
    changed_.notify_all();
    return true;
  }

  // Waits until the frame handed over has been written (or the writing ended).
  void WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !full_ || ended_; });
  }

  // Waits for the last frame; true when every frame handed over was written.
  bool Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    return !ended_;
  }

  // After a false Submit or Finish: the cause; empty when the reader went.
  const std::string& Error() const { return error_; }

 private:
  void Run() {
    for (;;) {
      platform::RgbaImage image;
      long index = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return full_ || closing_; });
        if (!full_) return;
        image = std::move(pending_);
        index = pendingIndex_;
      }
      std::string error;
      const bool ok = output_->Write(image, index, &error);
      std::lock_guard<std::mutex> lock(mutex_);
      full_ = false;
      if (!ok) {
        ended_ = true;
        error_ = error;
      }
      changed_.notify_all();
      if (!ok) return;
    }
  }

  FrameOutput* output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  platform::RgbaImage pending_;
  long pendingIndex_ = 0;
  bool full_ = false;
  bool closing_ = false;
  bool ended_ = false;
  std::string error_;
  std::thread thread_;  // last: starts once the rest is ready
};

// Makes `directory` (and its parents) when missing. A folder that holds frames
// of an earlier render is refused (status 2), or with `overwrite` those files
// are removed first; nothing else in it is touched. Returns the folder's
// descriptor, or -1 with `error` and `status` set.
int PrepareDirectory(const RenderOptions& options, std::string* error, int* status) {
  const std::string& directory = options.directory;
  *status = 1;
  for (size_t slash = 1; slash <= directory.size(); ++slash) {
    if (slash != directory.size() && directory[slash] != '/') continue;
    const std::string prefix = directory.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = "cannot write frames to " + prefix + ": " + std::strerror(errno);
      return -1;
    }
  }
  const int folder = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    *error = "cannot write frames to " + directory + ": " +
             (errno == ENOTDIR ? std::string("not a folder") : std::strerror(errno));
    return -1;
  }
  std::vector<std::string> earlier;
  if (DIR* list = fdopendir(dup(folder))) {
    while (const dirent* entry = readdir(list)) {
      if (IsFrameName(entry->d_name)) earlier.push_back(entry->d_name);
    }
    closedir(list);
  }
  std::sort(earlier.begin(), earlier.end());
  if (!earlier.empty() && !options.overwrite) {
    *status = 2;
    *error = directory + " already holds frames of an earlier render (" + earlier.front() +
             (earlier.size() > 1 ? " and " + std::to_string(earlier.size() - 1) + " more" : "") +
             "); --overwrite replaces them";
    close(folder);
    return -1;
  }
  for (const std::string& name : earlier) {
    if (unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT) {
      *error = "cannot remove " + directory + "/" + name + ": " + std::strerror(errno);
      close(folder);
      return -1;
    }
  }
  if (faccessat(folder, ".", W_OK | X_OK, 0) != 0) {
    *error = "cannot write frames to " + directory + ": " + std::strerror(errno);
    close(folder);
    return -1;
  }
  *status = 0;
  return folder;
}

}  // namespace

int RunOffscreenRender(const RenderOptions& options, bool mirrors) {
  std::string error;
  std::unique_ptr<FrameOutput> output;
  if (options.ToStream()) {
    if (isatty(STDOUT_FILENO)) {
      Fail("--render - writes a video stream: pipe it into a program, e.g. | ffmpeg -i - clip.mp4");
      return 2;
    }
    // A reader that goes away ends the render through EPIPE, not the signal.
    std::signal(SIGPIPE, SIG_IGN);
    output = std::make_unique<Y4mStream>(STDOUT_FILENO,
                                         platform::Y4mHeader(options.width, options.height, options.fps));
  } else {
    int status = 0;
    const int folder = PrepareDirectory(options, &error, &status);
    if (folder < 0) {
      Fail(error);
      return status;
    }
    output = std::make_unique<PngFolder>(options.directory, folder);
  }
  const long frames = options.FrameCount();

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
  const bool large = IsLargeFrame(options.width, options.height);
  bool written = true;
  {
    FrameWriter writer(output.get());
    for (long k = 0; k < frames && written; ++k) {
      clock.SetCounter(std::llround(static_cast<double>(k) * clock.CounterFrequency() / options.fps));
      renderer.Frame(mirrors);
      written = writer.Submit(context.ReadPixels(), k);
      if (large) writer.WaitIdle();
      if (written && progress) std::fprintf(stderr, "\rharbor-lights: frame %ld of %ld", k + 1, frames);
    }
    // The last frame is encoded while the GL context is taken down.
    renderer.Destroy();
    context.Destroy();
    written = writer.Finish() && written;
    if (progress) std::fputc('\n', stderr);
    error = writer.Error();
  }
  platform::UseTimeSource(nullptr);
  if (!written && !error.empty()) {
    Fail(error);
    return 1;
  }
  return 0;
}

}  // namespace hl
