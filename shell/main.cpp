// harbor-lights: reads our own options and the screen-saver conventions, then
// hands the rest of the command line to the screen-saver start-up.
#include <sys/stat.h>

#include <cstdio>

#include "shell/host_window.h"
#include "shell/long_options.h"
#include "shell/offscreen_render.h"
#include "shell/run_mode.h"
#include "shell/saver_main.h"
#include "shell/saver_settings.h"
#include "scenes/user_pictures.h"

namespace {
constexpr int kShowDefault = 10;  // the show command a program gets by default
}

int main(int argc, char** argv) {
  hl::LongOptions options;
  std::string error;
  if (!hl::ParseLongOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "harbor-lights: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(hl::UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("harbor-lights %s\n", HL_VERSION);
    return 0;
  }
  if (!options.picturesDirectory.empty()) {
    struct stat info {};
    if (stat(options.picturesDirectory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      std::fprintf(stderr, "harbor-lights: --pictures: %s is not a folder\n", options.picturesDirectory.c_str());
      return 2;
    }
  }
  hl::SettingOverrides overrides;
  overrides.mirrors = options.mirrors;
  overrides.pictureFolder = options.picturesDirectory;
  if (options.render) {
    // No settings file: a render depends on its arguments only.
    hl::userPictureFolder = options.picturesDirectory;
    return hl::RunOffscreenRender(options.renderOptions, options.mirrors != hl::Choice::Off);
  }
  hl::fpsOverlayByOption = options.fpsOverlay;
  if (options.delayMicroseconds >= 0) {
    hl::frameDelayMilliseconds = static_cast<unsigned>((options.delayMicroseconds + 500) / 1000);
  }
  if (options.host != hl::HostMode::None) {
    // The daemon starts us with its own options only; what was chosen in our
    // dialog counts where the command line is silent.
    hl::SaverSettings own;
    hl::LoadOwnSettings(own);
    hl::ApplySettingOverrides(overrides, own);
    hl::userPictureFolder = own.pictureFolder;
    options.noMirrors = own.useMirrors == 0;
    return hl::RunHostWindow(options);
  }
  return hl::SaverMain(hl::JoinCommandLine(options.rest), kShowDefault, overrides);
}
