#include "tests/support/gl_test_context.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace testing_support {

bool CreateGlContext(platform::HeadlessGlContext& context, int width, int height) {
  return context.Create(width, height);
}

std::string KeepFrame(const platform::RgbaImage& image, const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "frame";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::string path = std::string(HL_TEST_ARTIFACTS) + "/" + name + "-" + tag + ".png";
  std::string error;
  if (!platform::WritePng(path, image, &error)) return "(not saved: " + error + ")";
  return path;
}

std::string SourcePath(const std::string& relative) { return std::string(HL_SOURCE_DIR_PATH) + "/" + relative; }

std::string BinaryPath(const std::string& relative) {
  const char* dir = std::getenv("HL_BINARY_DIR");
  return std::string(dir && *dir ? dir : HL_BINARY_DIR_PATH) + "/" + relative;
}

}  // namespace testing_support
