// --render as a user runs it: the PNG files an independent reader accepts, the
// folder it refuses or cleans, writes that never follow a planted link or
// leave a cut frame, and the YUV4MPEG2 stream on standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/linux/png_encoder.h"
#include "platform/linux/png_image.h"
#include "platform/linux/y4m_stream.h"
#include "tests/support/capability.h"

namespace hl {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/hl-render-XXXXXX";
    path_ = mkdtemp(name);
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct ShellRun {
  int status = -1;
  std::string errors;
};

// Runs `shell` (the program is $P) under sh with standard error kept.
ShellRun Shell(const TempFolder& temp, const std::string& shell) {
  const std::string errors = temp.File("stderr.txt");
  const std::string command =
      "P='" + std::string(HL_PROGRAM) + "'; export P; sh -c '" + shell + "' 2>'" + errors + "'";
  ShellRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.errors = ReadFile(errors);
  return run;
}

std::vector<std::string> FrameFiles(const std::string& folder) {
  std::vector<std::string> names;
  const std::string list = folder + "/.list";
  std::system(("ls -A '" + folder + "' > '" + list + "'").c_str());
  std::ifstream in(list);
  for (std::string line; std::getline(in, line);) {
    if (line != ".list") names.push_back(line);
  }
  std::remove(list.c_str());
  return names;
}

platform::RgbaImage Pattern(int width, int height, uint32_t seed) {
  platform::RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height * 4);
  std::mt19937 random(seed);
  for (auto& byte : image.pixels) byte = static_cast<uint8_t>(random());
  return image;
}

// ImageMagick, not our code, reads the file back as 8-bit RGBA.
std::string ReadByImageMagick(const std::string& png) {
  const std::string raw = png + ".rgba";
  if (std::system(("convert '" + png + "' -depth 8 rgba:'" + raw + "'").c_str()) != 0) return "";
  return ReadFile(raw);
}

TEST(PngEncoder, AnIndependentReaderGetsThePixelsBack) {
  HL_REQUIRE_CAPABILITY(Have("convert"), "ImageMagick's convert");
  TempFolder temp;
  const struct {
    int width, height;
    bool keepAlpha;
  } cases[] = {{1, 1, false}, {3, 2, true}, {17, 5, false}, {64, 33, true}, {300, 7, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.keepAlpha ? " RGBA" : " RGB"));
    const platform::RgbaImage image = Pattern(c.width, c.height, static_cast<uint32_t>(c.width * 31 + c.height));
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(platform::EncodePng(image, c.keepAlpha, &bytes, &error)) << error;
    const std::string path = temp.File("p.png");
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
    std::string expected(image.pixels.begin(), image.pixels.end());
    if (!c.keepAlpha) {
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = static_cast<char>(0xff);
    }
    EXPECT_EQ(ReadByImageMagick(path), expected);
    platform::RgbaImage back;
    ASSERT_TRUE(platform::ReadPng(path, &back, &error)) << error;  // libpng checks every CRC
    EXPECT_EQ(std::string(back.pixels.begin(), back.pixels.end()), expected);
  }
}

TEST(RenderFolder, FramesOfAnEarlierRenderAreRefusedOrRemovedWithOverwrite) {
  const struct {
    const char* name;
    const char* options;
    int status;
    bool oldFramesKept;
  } cases[] = {
      {"refused", "", 2, true},
      {"overwrite", "--overwrite", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    const std::string frames = temp.File("frames");
    mkdir(frames.c_str(), 0755);
    WriteFile(frames + "/frame-00000.png", "old");
    WriteFile(frames + "/frame-00009.png", "old");  // beyond the new render's two frames
    WriteFile(frames + "/notes.txt", "mine");
    WriteFile(frames + "/frame-00000.jpg", "mine");
    const ShellRun run = Shell(temp, "\"$P\" --render " + frames + " --seconds 0.2 --fps 10 --size 32x24 --seed 1 " +
                                    c.options);
    EXPECT_EQ(run.status, c.status) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), c.status ? 1 : 0) << run.errors;
    EXPECT_EQ(ReadFile(frames + "/notes.txt"), "mine");
    EXPECT_EQ(ReadFile(frames + "/frame-00000.jpg"), "mine");
    EXPECT_EQ(ReadFile(frames + "/frame-00009.png") == "old", c.oldFramesKept);
    if (c.oldFramesKept) {
      EXPECT_EQ(ReadFile(frames + "/frame-00000.png"), "old") << "nothing touched";
      EXPECT_NE(run.errors.find("--overwrite"), std::string::npos) << run.errors;
    } else {
      EXPECT_EQ(access((frames + "/frame-00009.png").c_str(), F_OK), -1);
      EXPECT_EQ(FrameFiles(frames),
                (std::vector<std::string>{"frame-00000.jpg", "frame-00000.png", "frame-00001.png", "notes.txt"}));
    }
  }
}

TEST(RenderFolder, APlantedLinkIsReplacedNeverFollowed) {
  TempFolder temp;
  const std::string frames = temp.File("frames");
  mkdir(frames.c_str(), 0755);
  const std::string victim = temp.File("victim.txt");
  WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), (frames + "/frame-00000.png").c_str()), 0);
  ASSERT_EQ(symlink(victim.c_str(), (frames + "/frame-00001.png").c_str()), 0);
  const ShellRun run =
      Shell(temp, "\"$P\" --render " + frames + " --overwrite --seconds 0.2 --fps 10 --size 32x24 --seed 1");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(ReadFile(victim), "precious");
  struct stat info {};
  ASSERT_EQ(lstat((frames + "/frame-00001.png").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
}

// A disk that fills up part-way: one line naming the cause, status 1, and no
// cut file under a frame's name (every frame there decodes whole).
TEST(RenderFolder, AFullDiskIsOneLineAndLeavesNoCutFrame) {
  const bool root = geteuid() == 0;
  struct Case {
    const char* name;
    bool needsRoot;
    std::string prefix;  // what limits the space
    const char* cause;
  };
  const Case cases[] = {
      {"file size limit", false, "trap \"\" XFSZ; ulimit -f 200; ", "File too large"},
      {"1 MiB tmpfs", true, "", "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && !root) {
      std::printf("skipped %s: mounting a tmpfs needs root\n", c.name);
      continue;
    }
    TempFolder temp;
    const std::string frames = temp.File("frames");
    mkdir(frames.c_str(), 0755);
    bool mounted = false;
    if (c.needsRoot) {
      mounted = std::system(("mount -t tmpfs -o size=1m tmpfs '" + frames + "' 2>/dev/null").c_str()) == 0;
      if (!mounted) {
        std::printf("skipped %s: mount refused\n", c.name);
        continue;
      }
    }
    // A 640x360 frame is about 250 KiB: over the file size limit at once, and
    // the 1 MiB tmpfs is full after a few frames.
    const ShellRun run = Shell(temp, c.prefix + "exec \"$P\" --render " + frames +
                                    " --seconds 2 --fps 10 --size 640x360 --seed 4");
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_NE(run.errors.find(c.cause), std::string::npos) << run.errors;
    const std::vector<std::string> names = FrameFiles(frames);
    EXPECT_LT(names.size(), 20u) << "the limit was reached";
    for (const std::string& name : names) {
      EXPECT_EQ(name.rfind("frame-", 0), 0u) << "nothing else left behind: " << name;
      platform::RgbaImage image;
      std::string error;
      EXPECT_TRUE(platform::ReadPng(frames + "/" + name, &image, &error)) << error;
    }
    if (mounted) std::system(("umount '" + frames + "'").c_str());
  }
}

// Frames above 4096 x 4096 are encoded a row at a time, one frame in memory
// at a time; they read back whole all the same.
TEST(RenderFolder, ALargeFrameReadsBack) {
  HL_REQUIRE_CAPABILITY(Have("identify"), "ImageMagick's identify");
  TempFolder temp;
  const ShellRun run =
      Shell(temp, "\"$P\" --render " + temp.File("frames") + " --size 4100x4097 --seconds 0.02 --fps 100 --seed 2");
  ASSERT_EQ(run.status, 0) << run.errors;
  for (const char* name : {"frames/frame-00000.png", "frames/frame-00001.png"}) {
    const ShellRun info = Shell(temp, "identify -format %w:%h:%z " + temp.File(name) + " > " + temp.File("info"));
    EXPECT_EQ(info.status, 0) << info.errors;
    EXPECT_EQ(ReadFile(temp.File("info")), "4100:4097:8") << name;
  }
  EXPECT_EQ(FrameFiles(temp.File("frames")).size(), 2u);
}

// A render depends on its arguments only: a settings file that turns the
// mirrors off and names a picture folder changes none of its bytes, while the
// same choices on the command line do.
TEST(RenderFolder, ReadsNoSettingsFile) {
  HL_REQUIRE_CAPABILITY(Have("convert"), "ImageMagick's convert");
  TempFolder temp;
  mkdir(temp.File("config").c_str(), 0755);
  mkdir(temp.File("config/harbor-lights").c_str(), 0755);
  mkdir(temp.File("pictures").c_str(), 0755);
  ASSERT_EQ(std::system(("convert -size 64x64 xc:red '" + temp.File("pictures/red.jpg") + "'").c_str()), 0);
  WriteFile(temp.File("config/harbor-lights/registry.reg"),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Qz\\Harbor Lights]\n\"UseMirrors\"=dword:00000000\n"
            "\"PictureFolder\"=\"" + temp.File("pictures") + "\"\n");
  const std::string args = " --seconds 40 --fps 0.1 --size 96x64 --seed 3";
  const struct {
    const char* folder;
    std::string before;  // environment
    std::string after;   // further options
    bool sameAsPlain;
  } cases[] = {
      {"plain", "", "", true},
      {"file", "XDG_CONFIG_HOME=" + temp.File("config") + " ", "", true},
      {"nomirrors", "", " --no-mirrors", false},
  };
  std::string plain;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const ShellRun run = Shell(temp, c.before + "\"$P\" --render " + temp.File(c.folder) + args + c.after);
    ASSERT_EQ(run.status, 0) << run.errors;
    // At 30 s the first picture fills the view.
    const std::string frame = ReadFile(temp.File(c.folder) + "/frame-00003.png");
    ASSERT_FALSE(frame.empty());
    if (plain.empty()) plain = frame;
    EXPECT_EQ(frame == plain, c.sameAsPlain);
  }
}

// Converts the stream's planes back with the inverse of BT.601 studio range.
void YuvToRgb(int y, int cb, int cr, int rgb[3]) {
  const double l = (y - 16) * 255.0 / 219.0, u = (cb - 128) * 255.0 / 224.0, v = (cr - 128) * 255.0 / 224.0;
  const double out[3] = {l + 1.402 * v, l - 0.344136 * u - 0.714136 * v, l + 1.772 * u};
  for (int i = 0; i < 3; ++i) rgb[i] = std::clamp(static_cast<int>(out[i] + 0.5), 0, 255);
}

TEST(RenderStream, FramingAndColoursMatchTheFrames) {
  TempFolder temp;
  const std::string args = " --seconds 0.3 --fps 10 --size 40x30 --seed 9";
  const ShellRun stream = Shell(temp, "\"$P\" --render -" + args + " > " + temp.File("clip.y4m"));
  ASSERT_EQ(stream.status, 0) << stream.errors;
  EXPECT_EQ(stream.errors, "") << "progress and messages never reach a pipe";
  const ShellRun folder = Shell(temp, "\"$P\" --render " + temp.File("frames") + args);
  ASSERT_EQ(folder.status, 0) << folder.errors;

  const std::string clip = ReadFile(temp.File("clip.y4m"));
  const std::string header = "YUV4MPEG2 W40 H30 F10:1 Ip A1:1 C444\n";
  const size_t plane = 40 * 30;
  ASSERT_EQ(clip.size(), header.size() + 3 * (6 + 3 * plane));
  ASSERT_EQ(clip.substr(0, header.size()), header);
  int worst = 0;
  for (int k = 0; k < 3; ++k) {
    const size_t at = header.size() + k * (6 + 3 * plane);
    ASSERT_EQ(clip.substr(at, 6), "FRAME\n") << k;
    platform::RgbaImage png;
    std::string error;
    ASSERT_TRUE(platform::ReadPng(temp.File("frames/frame-0000" + std::to_string(k) + ".png"), &png, &error)) << error;
    for (size_t i = 0; i < plane; ++i) {
      int rgb[3];
      YuvToRgb(static_cast<uint8_t>(clip[at + 6 + i]), static_cast<uint8_t>(clip[at + 6 + plane + i]),
               static_cast<uint8_t>(clip[at + 6 + 2 * plane + i]), rgb);
      for (int ch = 0; ch < 3; ++ch) worst = std::max(worst, std::abs(rgb[ch] - png.pixels[i * 4 + ch]));
    }
  }
  EXPECT_LE(worst, 2);
}

TEST(RenderStream, KnownColoursSurviveTheRoundTrip) {
  const uint8_t colours[][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},  {0, 255, 0},
                                {0, 0, 255},   {255, 255, 0},   {0, 255, 255}, {255, 0, 255},
                                {128, 128, 128}, {12, 200, 90}};
  platform::RgbaImage image;
  image.width = static_cast<int>(std::size(colours));
  image.height = 1;
  for (const auto& c : colours) image.pixels.insert(image.pixels.end(), {c[0], c[1], c[2], 255});
  std::vector<uint8_t> planes;
  platform::RgbaToYuv444(image, &planes);
  const size_t n = std::size(colours);
  ASSERT_EQ(planes.size(), 3 * n);
  EXPECT_EQ(planes[0], 16);   // black
  EXPECT_EQ(planes[1], 235);  // white
  for (size_t i = 0; i < n; ++i) {
    int rgb[3];
    YuvToRgb(planes[i], planes[n + i], planes[2 * n + i], rgb);
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(rgb[ch], colours[i][ch], 2) << i << " " << ch;
  }
  const struct {
    double fps;
    const char* rate;
  } rates[] = {{30, "F30:1"}, {29.97, "F2997:100"}, {0.5, "F1:2"}, {1000, "F1000:1"}, {23.976, "F2997:125"}};
  for (const auto& r : rates) {
    EXPECT_NE(platform::Y4mHeader(8, 8, r.fps).find(std::string(" ") + r.rate + " "), std::string::npos)
        << platform::Y4mHeader(8, 8, r.fps);
  }
}

TEST(RenderStream, AReaderThatLeavesEndsTheRenderQuietly) {
  TempFolder temp;
  const ShellRun run = Shell(temp, "{ \"$P\" --render - --seconds 100 --size 64x48 --seed 2 2>" + temp.File("err") +
                                  "; echo $? > " + temp.File("status") + "; } | head -c 20000 >/dev/null");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(temp.File("status")), "0\n");
  EXPECT_EQ(ReadFile(temp.File("err")), "");
}

// Unlike a reader that leaves, a stream that cannot be written is a failure.
TEST(RenderStream, AFullDeviceIsOneLineAndStatusOne) {
  TempFolder temp;
  const ShellRun run = Shell(temp, "\"$P\" --render - --seconds 0.2 --size 64x48 --seed 2 > /dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
  EXPECT_NE(run.errors.find("No space left on device"), std::string::npos) << run.errors;
}

TEST(RenderStream, FfmpegReadsIt) {
  HL_REQUIRE_CAPABILITY(Have("ffmpeg"), "ffmpeg");
  TempFolder temp;
  const ShellRun run = Shell(temp, "\"$P\" --render - --seconds 0.2 --fps 10 --size 32x24 --seed 5 | ffmpeg -v error "
                              "-i - -f rawvideo -pix_fmt rgb24 " + temp.File("out.rgb"));
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(ReadFile(temp.File("out.rgb")).size(), 2u * 32 * 24 * 3);
}

}  // namespace
}  // namespace hl
