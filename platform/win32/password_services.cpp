// The system's screen-saver password services, loaded when needed: PASSWORD.CPL
// checks the password on the systems outside the NT family (the NT family
// locks the session itself), MPR.DLL changes it.
#include "platform/win32/system.h"

namespace platform {
namespace {

using VerifyScreenSavePwdFunction = BOOL(WINAPI*)(HWND);
using PwdChangePasswordFunction = ::DWORD(WINAPI*)(LPCSTR, HWND, ::DWORD, LPVOID);

bool NtFamily() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ::GetVersionExA(&version);  // its result does not matter: a zeroed record is not NT
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool VerifyScreenSaverPassword(WindowHandle window) {
  if (NtFamily()) return true;
  HMODULE library = ::LoadLibraryA("PASSWORD.CPL");
  if (!library) return true;  // no password service: the saver closes
  auto verify = reinterpret_cast<VerifyScreenSavePwdFunction>(
      reinterpret_cast<void*>(::GetProcAddress(library, "VerifyScreenSavePwd")));
  if (!verify) {
    ::FreeLibrary(library);
    return true;
  }
  const BOOL result = verify(win32::Hwnd(window));
  ::FreeLibrary(library);
  return result != FALSE;
}

void ChangeScreenSaverPassword(WindowHandle parent) {
  HMODULE library = ::LoadLibraryA("MPR.DLL");
  if (!library) return;
  auto change = reinterpret_cast<PwdChangePasswordFunction>(
      reinterpret_cast<void*>(::GetProcAddress(library, "PwdChangePasswordA")));
  if (change) change("SCRSAVE", win32::Hwnd(parent), 0, nullptr);
  ::FreeLibrary(library);
}

void SetScreenSaverRunning(bool running) {
  UINT previous = 0;  // receives the former state; not read
  ::SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

}  // namespace platform
