// The program's start: the system's command line and show command go to
// SaverMain.
#include "platform/win32/system.h"
#include "shell/saver_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  return hl::SaverMain(::GetCommandLineA(), showCommand);
}
