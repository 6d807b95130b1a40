// The user's own pictures: which files of a folder count, how a picture is
// squared and shrunk, and what the zoom scene then shows.
#include "scenes/user_pictures.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/error_sink.h"
#include "platform/resources.h"
#include "platform/termination.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"
#include "tests/support/xvfb_server.h"

namespace hl {
namespace {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/hl-pictures-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) ADD_FAILURE() << "cannot make a temporary folder";
    path_ = made ? made : "/nonexistent/hl-pictures";
  }
  ~TempFolder() {
    if (path_.rfind("/tmp/hl-pictures-", 0) == 0) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }

 private:
  std::string path_;
};

bool HaveConvert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

// Makes a JPEG with ImageMagick: `spec` is its image description.
void Convert(const std::string& spec, const std::string& path) {
  ASSERT_EQ(std::system(("convert " + spec + " -quality 95 '" + path + "'").c_str()), 0) << spec;
}

TEST(FirstPictureFiles, TakesTheFirstFourJpegFilesByName) {
  TempFolder folder;
  for (const char* name : {"b.jpg", "a.JPEG", "c.txt", "d.png", "e.jpeg", "f.jpg", "g.jpg", ".hidden.jpg"}) {
    folder.Write(name, "x");
  }
  mkdir(folder.File("0-folder.jpg").c_str(), 0755);              // not a file
  ASSERT_EQ(symlink("/nonexistent/picture.jpg", folder.File("00-dangling.jpg").c_str()), 0);
  ASSERT_EQ(symlink(folder.File("f.jpg").c_str(), folder.File("01-link.jpg").c_str()), 0);  // a file, by a link

  const std::vector<std::string> expected = {folder.File(".hidden.jpg"), folder.File("01-link.jpg"),
                                             folder.File("a.JPEG"), folder.File("b.jpg")};
  EXPECT_EQ(FirstPictureFiles(folder.Path(), 4), expected);
  EXPECT_EQ(FirstPictureFiles(folder.Path() + "/", 2),
            (std::vector<std::string>{folder.File(".hidden.jpg"), folder.File("01-link.jpg")}));
  EXPECT_TRUE(FirstPictureFiles(folder.File("missing"), 4).empty());
  EXPECT_TRUE(FirstPictureFiles("", 4).empty());
  EXPECT_TRUE(FirstPictureFiles(folder.File("b.jpg"), 4).empty()) << "a file is no folder";
}

TEST(FirstPictureFiles, ALargeFolderStillGivesTheFirstFour) {
  TempFolder folder;
  for (int i = 0; i < 10000; ++i) {
    const std::string name = "picture-" + std::to_string(10000 + i) + (i % 3 ? ".jpg" : ".txt");
    std::ofstream(folder.File(name)) << "";
  }
  const std::vector<std::string> files = FirstPictureFiles(folder.Path(), 4);
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], folder.File("picture-10001.jpg"));
  EXPECT_EQ(files[3], folder.File("picture-10005.jpg"));
}

// ---------------------------------------------------------------------------
// The picture folder as bad input. Each picture is read in a child process, so
// that a read that blocks shows as a timeout, and the child's peak memory is
// the picture's own.

bool HaveJpegTools() { return std::system("(command -v cjpeg && command -v jpegtran) >/dev/null 2>&1") == 0; }

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ChildOutcome {
  bool finished = false;  // within the deadline
  int status = -1;        // the child's exit status
  std::string text;       // what it wrote
  long peakKiB = 0;
  double seconds = 0;
};

// Runs `work` in a child that writes its result to a pipe; kills it (by its
// pid) when it has not finished after `deadline` seconds.
ChildOutcome RunInChild(const std::function<std::string()>& work, double deadline,
                        const std::function<void(pid_t)>& whileRunning = nullptr) {
  ChildOutcome outcome;
  int fds[2];
  if (pipe(fds) != 0) return outcome;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string text = work();
    const ssize_t written = write(fds[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
  }
  close(fds[1]);
  if (whileRunning) whileRunning(pid);
  char buffer[4096];
  for (;;) {
    const double left = deadline - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pollfd p{fds[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) break;
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) {
      outcome.finished = true;
      break;
    }
    outcome.text.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (!outcome.finished) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.peakKiB = usage.ru_maxrss;
  return outcome;
}

// A "VmRSS"-like line of /proc/self/status, in KiB.
long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

// "1 <side>" or "0 <reason>": what ReadUserPicture made of `path`; then, after
// a bar, how far the resident set rose above where it stood (pages the child
// shares with the test process count from the start, so the peak is reset).
std::string DescribeRead(const std::string& path) {
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKiB("VmRSS");
  PictureTexture record;
  std::string reason;
  std::string text;
  if (ReadUserPicture(record, path, &reason)) {
    text = "1 " + std::to_string(record.width) + "x" + std::to_string(record.height);
    ReleasePicturePixels(record);
  } else {
    text = "0 " + reason;
  }
  return text + "|" + std::to_string(StatusKiB("VmHWM") - before);
}

// An arithmetic-coded grey picture declaring width x height whose data ends
// at once: legal in arithmetic coding, where the decoder fills in the rest,
// so a few bytes make as much work as the size declares.
std::string EmptyArithmeticPicture(int width, int height, bool colour = false) {
  std::string jpeg;
  FILE* pipe = popen(colour ? "convert -size 16x16 xc:gray ppm:- | cjpeg -arithmetic -sample 1x1"
                            : "convert -size 16x16 xc:gray pgm:- | cjpeg -grayscale -arithmetic",
                     "r");
  if (!pipe) return jpeg;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) jpeg.append(buffer, n);
  pclose(pipe);
  const size_t sof = jpeg.find("\xFF\xC9");
  const size_t sos = jpeg.find("\xFF\xDA");
  if (sof == std::string::npos || sos == std::string::npos) return "";
  const size_t length = (static_cast<unsigned char>(jpeg[sos + 2]) << 8) | static_cast<unsigned char>(jpeg[sos + 3]);
  jpeg.resize(sos + 2 + length);
  jpeg += "\xFF\xD9";
  const char size[4] = {static_cast<char>(height >> 8), static_cast<char>(height & 0xFF), static_cast<char>(width >> 8),
                        static_cast<char>(width & 0xFF)};
  jpeg.replace(sof + 5, 4, size, 4);
  return jpeg;
}

TEST(PictureFolderInput, EachBadFileIsRefusedWithItsCauseOrReadWithinBoundedMemory) {
  HL_REQUIRE_CAPABILITY(HaveJpegTools() && HaveConvert(), "cjpeg, jpegtran and convert");
  TempFolder folder;
  const std::string dir = folder.Path();
  // A baseline colour picture, 300 x 200, to cut and alter.
  Shell("convert -size 300x200 gradient:red-blue ppm:- | cjpeg -quality 90 > '" + dir + "/base.jpg.src'");
  const std::string base = ReadAll(dir + "/base.jpg.src");
  ASSERT_GT(base.size(), 1000u);
  // A progressive picture whose first scan comes 150 times: more scans than
  // any encoder writes (the decoder only warns about the repeats).
  Shell("jpegtran -progressive '" + dir + "/base.jpg.src' > '" + dir + "/progressive.jpg.src'");
  std::string manyScans = ReadAll(dir + "/progressive.jpg.src");
  {
    const size_t sos = manyScans.find("\xFF\xDA");
    ASSERT_NE(sos, std::string::npos);
    size_t end = sos + 2 + ((static_cast<unsigned char>(manyScans[sos + 2]) << 8) | static_cast<unsigned char>(manyScans[sos + 3]));
    while (end + 1 < manyScans.size() &&
           !(manyScans[end] == '\xFF' && manyScans[end + 1] != '\0' && (manyScans[end + 1] & 0xF8) != 0xD0)) {
      ++end;
    }
    const std::string scan = manyScans.substr(sos, end - sos);
    for (int i = 0; i < 149; ++i) manyScans.insert(end, scan);
  }
  // The frame header of `base` says 200 x 300 at offset sof + 5: a copy that
  // declares 10000 x 10000 and brings only the little data of `base`.
  const size_t sof = base.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string declares = base;
  declares.replace(sof + 5, 4, std::string("\x27\x10\x27\x10", 4));

  const long boundKiB = 64 * 1024;  // a 20000 x 20000 grey picture decoded whole needs 400 MB
  const struct Case {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* expected;  // the start of DescribeRead's answer
  } cases[] = {
      {"empty.jpg", [&](const std::string& p) { folder.Write(p, ""); }, "0 empty file"},
      {"cut.jpg", [&](const std::string& p) { folder.Write(p, base.substr(0, base.size() / 2)); },
       "0 Premature end of JPEG file"},
      {"progressive.jpg", [&](const std::string& p) { folder.Write(p, ReadAll(dir + "/progressive.jpg.src")); },
       "1 128x128"},
      {"many-scans.jpg", [&](const std::string& p) { folder.Write(p, manyScans); }, "0 more than 100 scans"},
      {"cmyk.jpg", [&](const std::string& p) { Convert("-size 40x40 xc:red -colorspace CMYK", dir + "/" + p); },
       "0 CMYK pictures are not supported"},
      {"one.jpg", [&](const std::string& p) { Convert("-size 1x1 xc:white", dir + "/" + p); }, "1 1x1"},
      {"giant.jpg",
       [&](const std::string& p) {
         Shell("(printf 'P5\\n20000 20000\\n255\\n'; head -c 400000000 /dev/zero) | cjpeg -grayscale -quality 50 > '" +
               dir + "/" + p + "'");
       },
       "1 1024x1024"},
      {"declares-10000.jpg", [&](const std::string& p) { folder.Write(p, declares); },
       "0 Corrupt JPEG data: premature end of data segment"},
      {"declares-32000-arithmetic.jpg",
       [&](const std::string& p) { folder.Write(p, EmptyArithmeticPicture(32000, 32000)); },
       "0 too large to show (32000 x 32000)"},
      {"declares-4000-arithmetic.jpg",
       [&](const std::string& p) { folder.Write(p, EmptyArithmeticPicture(4000, 3000)); }, "1 1024x1024"},
      {"huge-file.jpg",
       [&](const std::string& p) {
         folder.Write(p, base);
         ASSERT_EQ(truncate(folder.File(p).c_str(), 200LL << 20), 0);  // sparse: nothing to write
       },
       "0 file too large (200 MB, at most 64 MB)"},
      {"x.jpg", [&](const std::string& p) { ASSERT_EQ(mkfifo(folder.File(p).c_str(), 0644), 0); },
       "0 not a regular file"},
      {"link-to-fifo.jpg", [&](const std::string& p) { ASSERT_EQ(symlink("x.jpg", folder.File(p).c_str()), 0); },
       "0 not a regular file"},
      {"loop.jpg", [&](const std::string& p) { ASSERT_EQ(symlink("loop.jpg", folder.File(p).c_str()), 0); },
       "0 Too many levels of symbolic links"},
      {"a-folder.jpg", [&](const std::string& p) { ASSERT_EQ(mkdir(folder.File(p).c_str(), 0755), 0); },
       "0 not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.make(c.name);
    if (HasFailure()) return;
    const std::string path = folder.File(c.name);
    const ChildOutcome outcome = RunInChild([&] { return DescribeRead(path); }, 20);
    ASSERT_TRUE(outcome.finished) << "the read did not return";
    EXPECT_EQ(outcome.status, 0);
    const size_t bar = outcome.text.rfind('|');
    ASSERT_NE(bar, std::string::npos) << outcome.text;
    EXPECT_EQ(outcome.text.rfind(c.expected, 0), 0u) << outcome.text;
    EXPECT_LT(std::atol(outcome.text.c_str() + bar + 1), boundKiB) << "rise of the resident set";
  }
}

// Reads the folder as LoadUserPictures does, in a child with the given user
// id (root may read any folder, so the refusal needs another user).
TEST(PictureFolderInput, AnUnreadableFolderIsReportedOnceWithItsCause) {
  TempFolder folder;
  const std::string locked = folder.File("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  folder.Write("locked/a.jpg", "x");
  ASSERT_EQ(chmod(locked.c_str(), 0311), 0);  // may pass through, may not list
  ASSERT_EQ(chmod(folder.Path().c_str(), 0711), 0);
  const ChildOutcome outcome = RunInChild(
      [&] {
        if (getuid() == 0 && setuid(65534) != 0) return std::string("cannot drop to nobody");
        std::string error;
        const std::vector<std::string> files = FirstPictureFiles(locked, 4, &error);
        std::vector<std::string> lines;
        platform::SetErrorSink([&](const std::string& line) { lines.push_back(line); });
        PictureTexture textures[4];
        bool loaded[4];
        LoadUserPictures(locked, textures, 4, loaded);
        LoadUserPictures(locked, textures, 4, loaded);
        std::string text = std::to_string(files.size()) + "|" + error;
        for (const auto& line : lines) text += "|" + line;
        return text;
      },
      10);
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.text, "0|Permission denied|" + locked + ": Permission denied; using the built-in pictures");
}

TEST(PictureFolderInput, AFolderOfAHundredThousandEntriesGivesTheFirstFour) {
  TempFolder folder;
  for (int i = 0; i < 100000; ++i) {
    const std::string name = folder.File("entry-" + std::to_string(200000 - i) + (i % 2 ? ".jpg" : ".txt"));
    const int fd = open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    close(fd);
  }
  const std::vector<std::string> files = FirstPictureFiles(folder.Path(), 4);
  EXPECT_EQ(files, (std::vector<std::string>{folder.File("entry-100001.jpg"), folder.File("entry-100003.jpg"),
                                             folder.File("entry-100005.jpg"), folder.File("entry-100007.jpg")}));
}

// ---------------------------------------------------------------------------
// A decode never holds up the end of the process.

TEST(PictureDecodeTermination, ASignalEndsADecodeWaitingForItsFile) {
  const platform::ResourceBytes eye = platform::FindResourceBytes("JPEG_EYE", platform::RT_RCDATA);
  ASSERT_GT(eye.size, 100u);
  int data[2];
  ASSERT_EQ(pipe(data), 0);
  // The child decodes from a pipe that delivers half the picture and then
  // nothing: the read waits as on a stalled network file system.
  std::chrono::steady_clock::time_point signalled;
  const ChildOutcome outcome = RunInChild(
      [&] {
        close(data[1]);
        platform::WatchTerminationSignals();
        PictureTexture record;
        std::string reason;
        const bool loaded = DecodePictureFile(record, data[0], UserPictureLimits(), &reason);
        return std::string(loaded ? "loaded" : reason) + (platform::TerminationRequested() ? " (requested)" : "");
      },
      10,
      [&](pid_t pid) {
        close(data[0]);
        ASSERT_EQ(write(data[1], eye.data, eye.size / 2), static_cast<ssize_t>(eye.size / 2));
        usleep(300 * 1000);  // the child is waiting in its read by now
        signalled = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
      });
  close(data[1]);
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.text, "abandoned: the program is ending (requested)");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count(), 1.0);
}

TEST(PictureDecodeTermination, ASignalEndsALongDecode) {
  HL_REQUIRE_CAPABILITY(HaveJpegTools() && HaveConvert(), "cjpeg and convert");
  // Without limits, 60000 x 60000 is many seconds of decoding.
  const std::string jpeg = EmptyArithmeticPicture(60000, 60000);
  ASSERT_FALSE(jpeg.empty());
  std::chrono::steady_clock::time_point signalled;
  const ChildOutcome outcome = RunInChild(
      [&] {
        platform::WatchTerminationSignals();
        PictureTexture record;
        DecodeLimits limits;
        limits.minSide = 1;  // 1/8: the work is decoding, not memory
        std::string reason;
        const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
        const bool loaded = DecodePicture(record, bytes, jpeg.size(), limits, &reason);
        return std::string(loaded ? "loaded" : reason);
      },
      30,
      [&](pid_t pid) {
        usleep(500 * 1000);
        signalled = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
      });
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.text, "abandoned: the program is ending");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count(), 1.0);
}

TEST(PictureDecodeTermination, APendingRequestAbandonsEveryDecodeWithoutALine) {
  const ChildOutcome outcome = RunInChild(
      [] {
        platform::WatchTerminationSignals();
        std::vector<std::string> lines;
        platform::SetErrorSink([&](const std::string& line) { lines.push_back(line); });
        raise(SIGTERM);
        const platform::ResourceBytes eye = platform::FindResourceBytes("JPEG_EYE", platform::RT_RCDATA);
        PictureTexture record;
        std::string reason;
        std::string text = DecodePicture(record, eye.data, eye.size, DecodeLimits{}, &reason) ? "loaded" : reason;
        text += DecodePicture(record, eye.data, eye.size) ? "|loaded" : "|refused";
        for (const auto& line : lines) text += "|" + line;
        return text;
      },
      10);
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.text,
            "abandoned: the program is ending|refused");
}

// A picture record over a copy of `pixels` (grey when components is 1).
PictureTexture Picture(int width, int height, int components, const std::vector<unsigned char>& pixels) {
  PictureTexture p;
  p.width = width;
  p.height = height;
  p.bitsPerPixel = components * 8;
  p.pixels = static_cast<unsigned char*>(std::malloc(pixels.size()));
  std::copy(pixels.begin(), pixels.end(), p.pixels);
  return p;
}

TEST(SquarePicture, CutsTheCentredSquareAndAveragesDownToAPowerOfTwo) {
  struct Case {
    const char* what;
    int width, height, components;
    std::vector<unsigned char> pixels;
    int side;
    std::vector<unsigned char> expected;
  };
  const Case cases[] = {
      {"a wide picture loses its sides", 4, 2, 1, {9, 1, 2, 9, 9, 3, 4, 9}, 2, {1, 2, 3, 4}},
      {"a tall one its top and bottom", 1, 3, 1, {9, 5, 9}, 1, {5}},
      {"3x3 averages into blocks of 1 and 2 texels", 3, 3, 1, {0, 0, 90, 0, 0, 90, 30, 30, 60}, 2, {0, 45, 15, 45}},
      {"colour keeps its channels", 2, 2, 3, {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}, 2,
       {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}},
      {"6x6 is shrunk to 4x4 without losing any row or column", 6, 6, 1, std::vector<unsigned char>(36, 77), 4,
       std::vector<unsigned char>(16, 77)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PictureTexture p = Picture(c.width, c.height, c.components, c.pixels);
    ASSERT_TRUE(SquarePicture(p));
    EXPECT_EQ(p.width, c.side);
    EXPECT_EQ(p.height, c.side);
    EXPECT_EQ(p.bitsPerPixel, c.components * 8);
    EXPECT_EQ(std::vector<unsigned char>(p.pixels, p.pixels + c.expected.size()), c.expected);
    ReleasePicturePixels(p);
  }
}

TEST(SquarePicture, ShrinksLargePicturesTo1024) {
  PictureTexture p = Picture(3000, 2000, 1, std::vector<unsigned char>(3000 * 2000, 200));
  ASSERT_TRUE(SquarePicture(p));
  EXPECT_EQ(p.width, 1024);
  EXPECT_EQ(p.height, 1024);
  EXPECT_EQ(p.pixels[0], 200);
  EXPECT_EQ(p.pixels[1024 * 1024 - 1], 200);
  ReleasePicturePixels(p);
}

class UserPicturesScene : public ::testing::Test {
 protected:
  void SetUp() override {
    HL_REQUIRE_CAPABILITY(HaveConvert(), "ImageMagick's convert");
    HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 64, 64), "a headless EGL context");
    ResetRendererProcessState();
    platform::UseTimeSource(&clock);
  }
  void TearDown() override {
    renderer.Destroy();
    userPictureFolder.clear();
    platform::UseTimeSource(nullptr);
  }
  ZoomScene* Start(const std::string& folder) {
    userPictureFolder = folder;
    renderer.Create(64, 64);
    return dynamic_cast<ZoomScene*>(renderer.scene.get());
  }
  // Level 0 of a texture, as RGBA.
  std::vector<unsigned char> Texels(GLuint texture, int side) {
    std::vector<unsigned char> texels(static_cast<size_t>(side) * side * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
  }

  platform::HeadlessGlContext context;
  platform::VirtualTimeSource clock;
  KaleidoscopeRenderer renderer;
};

TEST_F(UserPicturesScene, TwoPicturesABrokenFileAndAPngLeaveTheLastLayersTheirOwn) {
  TempFolder folder;
  Convert("-size 300x200 xc:'rgb(250,10,10)'", folder.File("1-red.jpg"));
  Convert("-size 200x200 gradient:white-black -colorspace Gray", folder.File("2-grey.jpg"));
  folder.Write("3-broken.jpg", "\xff\xd8\xff\xe0 not really a picture");
  Convert("-size 64x64 xc:blue", folder.File("0-blue.png"));
  ZoomScene* scene = Start(folder.Path());
  ASSERT_NE(scene, nullptr);

  const PictureTexture* t = scene->textures.get();
  EXPECT_EQ(t[0].width, 128);  // 200 px square, shrunk to a power of two
  EXPECT_EQ(t[0].bitsPerPixel, 24);
  const std::vector<unsigned char> red = Texels(t[0].textureName, 128);
  EXPECT_GT(red[0], 230);
  EXPECT_LT(red[1], 30);
  EXPECT_LT(red[2], 30);
  EXPECT_EQ(t[1].width, 128);
  EXPECT_EQ(t[1].bitsPerPixel, 8) << "a grey picture becomes an alpha texture";
  EXPECT_EQ(t[2].width, 512) << "the broken file's layer keeps its embedded picture";
  EXPECT_EQ(t[2].bitsPerPixel, 8);
  EXPECT_EQ(t[3].width, 512);
  for (int i = 0; i < kZoomLayers; ++i) {
    EXPECT_NE(t[i].textureName, 0u);
    EXPECT_EQ(scene->layers[i].zoomBase, static_cast<float>(t[i].width));
  }
}

TEST_F(UserPicturesScene, ALargePhotoIsCutToItsCentreAndShrunk) {
  TempFolder folder;
  // 4000 x 3000: red bands at the sides, green in the middle 3000 x 3000.
  Convert("-size 3000x3000 xc:'rgb(0,200,0)' -bordercolor 'rgb(220,0,0)' -border 500x0", folder.File("photo.jpg"));
  ZoomScene* scene = Start(folder.Path());
  ASSERT_NE(scene, nullptr);
  const PictureTexture& t = scene->textures[0];
  ASSERT_EQ(t.width, 1024);
  ASSERT_EQ(t.height, 1024);
  const std::vector<unsigned char> texels = Texels(t.textureName, 1024);
  int reddish = 0;
  for (size_t i = 0; i < texels.size(); i += 4) {
    if (texels[i] > 100) ++reddish;
  }
  EXPECT_EQ(reddish, 0) << "the sides are cut away, the aspect kept";
  EXPECT_GT(texels[(512 * 1024 + 512) * 4 + 1], 150);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(UserPicturesScene, AnUnusablePictureAndAFolderWithoutOneAreEachToldOnceByName) {
  TempFolder mixed, broken;
  Convert("-size 64x64 xc:'rgb(250,10,10)'", mixed.File("a-good.jpg"));
  Convert("-size 300x200 gradient:red-blue", mixed.File("b.jpg"));
  const std::string whole = ReadAll(mixed.File("b.jpg"));
  mixed.Write("cut.jpg", whole.substr(0, whole.size() / 2));
  ASSERT_EQ(unlink(mixed.File("b.jpg").c_str()), 0);
  broken.Write("junk.jpg", "\xff\xd8\xff\xe0 not really a picture");
  broken.Write("notes.txt", "not a picture at all");

  std::vector<std::string> lines;
  platform::SetErrorSink([&](const std::string& line) { lines.push_back(line); });
  testing::internal::CaptureStderr();
  ZoomScene* scene = Start(mixed.Path());
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->textures[0].width, 64);
  EXPECT_EQ(scene->textures[1].width, 1024) << "the cut picture's layer keeps its embedded picture";
  // Another renderer (a second monitor) loads the same folder again.
  PictureTexture again[kZoomLayers];
  bool loaded[kZoomLayers];
  LoadUserPictures(mixed.Path(), again, kZoomLayers, loaded);
  EXPECT_TRUE(loaded[0]);
  EXPECT_FALSE(loaded[1]);
  LoadUserPictures(broken.Path(), again, kZoomLayers, loaded);
  LoadUserPictures(broken.Path(), again, kZoomLayers, loaded);
  const std::string raw = testing::internal::GetCapturedStderr();
  platform::SetErrorSink(nullptr);

  ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], mixed.File("cut.jpg") + ": Premature end of JPEG file; using the built-in picture");
  EXPECT_EQ(lines[1].rfind(broken.File("junk.jpg") + ": ", 0), 0u) << lines[1];
  EXPECT_TRUE(EndsWith(lines[1], "; using the built-in picture")) << lines[1];
  EXPECT_GT(lines[1].size(), broken.File("junk.jpg").size() + 32) << "the decoder's reason is in the line";
  EXPECT_EQ(lines[2], broken.Path() + ": no usable JPEG picture; using the built-in pictures");
  EXPECT_EQ(raw, "") << "no line of the decoder's own";
}

// Deferred decoding changes when the embedded pictures are decoded, never a
// pixel: the same frames, byte for byte, across every arrival of a layer.
TEST(DeferredPictures, DecodeAtTheFirstVisibleFrameAndDrawTheSameFrames) {
  platform::HeadlessGlContext context;
  HL_REQUIRE_CAPABILITY(testing_support::CreateGlContext(context, 96, 64), "a headless EGL context");
  platform::VirtualTimeSource clock;
  platform::UseTimeSource(&clock);
  std::vector<std::vector<std::vector<uint8_t>>> runs;
  std::vector<std::string> pendingAtStart;
  for (bool defer : {false, true}) {
    ResetRendererProcessState();
    lastConfigSwitch = 0;
    deferHiddenPictures = defer;
    clock.SetCounter(0);  // the renderer's clock starts here
    KaleidoscopeRenderer renderer;
    renderer.Create(96, 64);
    auto* scene = dynamic_cast<ZoomScene*>(renderer.scene.get());
    ASSERT_NE(scene, nullptr);
    std::vector<std::vector<uint8_t>> frames;
    std::string pending;
    // Every 7.5 s for 4 minutes: each layer arrives twice, on frames before,
    // at and after its phase boundaries.
    for (int64_t ms = 0; ms <= 240000; ms += 7500) {
      clock.SetCounter(ms * clock.CounterFrequency() / 1000);
      renderer.Frame(true);
      frames.push_back(context.ReadPixels().pixels);
      if (ms == 0) {
        for (int i = 0; i < kZoomLayers; ++i) pending += scene->picturePending[i] ? '1' : '0';
      }
    }
    for (int i = 0; i < kZoomLayers; ++i) {
      EXPECT_FALSE(scene->picturePending[i]) << "every layer has shown by the end";
      EXPECT_NE(scene->textures[i].textureName, 0u);
      EXPECT_EQ(scene->layers[i].zoomBase, i == 1 ? 1024.0f : 512.0f);
    }
    pendingAtStart.push_back(pending);
    runs.push_back(frames);
    renderer.Destroy();
  }
  deferHiddenPictures = false;
  platform::UseTimeSource(nullptr);
  // At time 0 only layer 1 (departing) shows; layer 0 arrives at alpha 0.
  EXPECT_EQ(pendingAtStart, (std::vector<std::string>{"0000", "1011"}));
  ASSERT_EQ(runs[0].size(), runs[1].size());
  for (size_t k = 0; k < runs[0].size(); ++k) EXPECT_TRUE(runs[0][k] == runs[1][k]) << "frame at " << k * 7.5 << " s";
}

// CPU seconds a process has used so far, from /proc.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoull(field);
    if (i == 15) system = std::stoull(field);
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Pictures that take long to decode never keep the saver from ending: a
// signal to any drawing mode, or the input that closes the full-screen saver,
// gives the remaining decodes up.
TEST(PicturesOption, AnEndDuringASlowDecodeComesWithinASecond) {
  HL_REQUIRE_CAPABILITY(testing_support::XvfbServer::Available() && HaveJpegTools() && HaveConvert(),
                        "Xvfb, cjpeg and convert");
  struct Case {
    const char* mode;
    const char* how;  // "SIGTERM", or a key name for xdotool
  };
  const Case cases[] = {{"-window", "SIGTERM"}, {"/s", "SIGTERM"}, {"/s", "a"}, {"/s", "Escape"}};
  TempFolder folder;
  // Four colour pictures of the largest full size allowed: over half a second
  // of decoding each, so that the ones left after the ask would take longer
  // than the second allowed.
  const std::string slow = EmptyArithmeticPicture(20000, 20000, /*colour=*/true);
  ASSERT_FALSE(slow.empty());
  for (int i = 0; i < 4; ++i) folder.Write("slow-" + std::to_string(i) + ".jpg", slow);
  const std::string program = testing_support::BinaryPath("shell/harbor-lights");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + ", " + c.how);
    testing_support::XvfbServer server;
    ASSERT_TRUE(server.Start("640x480x24"));
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server.Display().c_str(), 1);
      execl(program.c_str(), program.c_str(), c.mode, "--pictures", folder.Path().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Past start-up (a tenth of a second of CPU) and into the pictures.
    const auto start = std::chrono::steady_clock::now();
    while (CpuSeconds(pid) < 0.6 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
      usleep(20 * 1000);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the saver ended before its pictures were read";
    const auto asked = std::chrono::steady_clock::now();
    if (std::string(c.how) == "SIGTERM") {
      kill(pid, SIGTERM);
    } else {
      const std::string key = "DISPLAY=" + server.Display() + " xdotool key " + c.how;
      ASSERT_EQ(std::system(key.c_str()), 0);
    }
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - asked < std::chrono::seconds(10)) {
      usleep(10 * 1000);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    if (ended == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    EXPECT_LT(seconds, 1.0) << "from the signal or key to the end of the process";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
}

TEST(PicturesOption, RendersTheUsersPictureAndRefusesAMissingFolder) {
  HL_REQUIRE_CAPABILITY(HaveConvert(), "ImageMagick's convert");
  TempFolder folder;
  Convert("-size 64x64 xc:'rgb(250,10,10)'", folder.File("red.jpg"));
  const std::string program = testing_support::BinaryPath("shell/harbor-lights");
  const std::string frames = folder.File("frames");
  // Frames at 0, 10, 20 and 30 s: at 30 s the first layer fills the square.
  ASSERT_EQ(std::system((program + " --render '" + frames + "' --pictures '" + folder.Path() +
                         "' --seconds 40 --fps 0.1 --size 96x64 --seed 1")
                            .c_str()),
            0);
  platform::RgbaImage frame;
  std::string error;
  ASSERT_TRUE(platform::ReadPng(frames + "/frame-00003.png", &frame, &error)) << error;
  const uint8_t* centre = frame.At(48, 32);
  EXPECT_GT(centre[0], 200);
  EXPECT_LT(centre[1], 40);
  EXPECT_LT(centre[2], 40);

  const int status = std::system((program + " --render '" + frames + "' --pictures '" + folder.File("missing") +
                                  "' --seconds 0.1 2>/dev/null")
                                     .c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace hl
