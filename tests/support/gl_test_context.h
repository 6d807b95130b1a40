#pragma once
// A headless GL context for a test, and the keeping of rendered frames: a
// failing pixel check saves its frame as a PNG in the build's test-artifacts
// folder and names the file in the failure message.
#include <string>

#include "platform/headless/headless_gl_context.h"
#include "platform/linux/png_image.h"

namespace testing_support {

// Creates and makes current a headless context of the given size; false (with
// the cause reported through the error sink) when none can be made.
bool CreateGlContext(platform::HeadlessGlContext& context, int width, int height);

// Saves `image` as <test-artifacts>/<suite>.<test>-<tag>.png and returns the path.
std::string KeepFrame(const platform::RgbaImage& image, const std::string& tag);

// A path in the source tree.
std::string SourcePath(const std::string& relative);
// A path in the build tree (HL_BINARY_DIR, which CTest sets, may move it).
std::string BinaryPath(const std::string& relative);

}  // namespace testing_support
