// The user's own pictures: which files of a folder count, how a picture is
// squared and shrunk, and what the zoom scene then shows.
#include "scenes/user_pictures.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "renderer/kaleidoscope_renderer.h"
#include "scenes/zoom_scene.h"
#include "tests/support/capability.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/image_checks.h"

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
