// The user's files through the system's file calls (ANSI paths).
#include "platform/files.h"
#include "platform/win32/system.h"

namespace platform {
namespace {

std::string SystemErrorText(::DWORD error) {
  char text[256] = {};
  const ::DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                          0, text, sizeof text, nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
    result.pop_back();
  }
  return result.empty() ? "error " + std::to_string(error) : result;
}

}  // namespace

std::vector<std::string> RegularFileNames(const std::string& folder, bool (*keep)(const char* name),
                                          std::string* error) {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    if (error) *error = SystemErrorText(::GetLastError());
    return names;
  }
  do {
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) continue;
    if (keep && !keep(entry.cFileName)) continue;
    names.emplace_back(entry.cFileName);
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return names;
}

FileHandle OpenRegularFile(const std::string& path, int64_t* size, std::string* reason) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = SystemErrorText(::GetLastError());
    return kNoFile;
  }
  LARGE_INTEGER length{};
  // A disk file only: a pipe or device could keep us waiting.
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &length)) {
    *reason = "not a regular file";
    ::CloseHandle(file);
    return kNoFile;
  }
  *size = length.QuadPart;
  return reinterpret_cast<FileHandle>(file);
}

long ReadFileBytes(FileHandle file, void* buffer, size_t capacity, std::string* reason) {
  ::DWORD read = 0;
  const ::DWORD want = capacity > 0x40000000 ? 0x40000000 : static_cast<::DWORD>(capacity);
  if (!::ReadFile(reinterpret_cast<HANDLE>(file), buffer, want, &read, nullptr)) {
    *reason = SystemErrorText(::GetLastError());
    return -1;
  }
  return static_cast<long>(read);
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) ::CloseHandle(reinterpret_cast<HANDLE>(file));
}

}  // namespace platform
