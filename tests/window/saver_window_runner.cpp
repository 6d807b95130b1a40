// The saver window as start-up runs it, for the window tests: "/s" runs full
// screen, "/p N" previews into window N. Settings are the defaults.
#include <cstdlib>
#include <cstring>

#include "shell/run_mode.h"
#include "shell/saver_settings.h"
#include "shell/saver_window.h"

int main(int argc, char** argv) {
  hl::SaverSettings record;
  hl::settings = &record;
  platform::WindowHandle parent = platform::kNoWindow;
  if (argc > 1 && std::strcmp(argv[1], "/p") == 0) {
    hl::runMode = hl::RunPreview;
    if (argc > 2) parent = std::strtoull(argv[2], nullptr, 0);
  } else {
    hl::runMode = hl::RunSaver;
  }
  const bool ok = hl::RunSaverWindow(parent, 10);
  hl::settings = nullptr;
  return ok ? 0 : 1;
}
