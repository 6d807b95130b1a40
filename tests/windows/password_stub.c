/* A stand-in for the system's screen-saver password module, PASSWORD.CPL,
 * for the tests: VerifyScreenSavePwd appends a line to the file named by
 * HL_PASSWORD_LOG and answers what HL_PASSWORD_ANSWER says (1 accepts,
 * anything else refuses). */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  char path[MAX_PATH];
  char answer[8] = "";
  if (GetEnvironmentVariableA("HL_PASSWORD_LOG", path, sizeof path)) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
      char line[64];
      DWORD written = 0;
      const int length = wsprintfA(line, "asked for window %p\r\n", (void*)window);
      WriteFile(file, line, (DWORD)length, &written, NULL);
      CloseHandle(file);
    }
  }
  GetEnvironmentVariableA("HL_PASSWORD_ANSWER", answer, sizeof answer);
  return answer[0] == '1';
}
