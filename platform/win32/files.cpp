// The user's files through the system's file calls (ANSI paths).
#include "platform/files.h"
#include "platform/win32/system.h"

namespace platform {

std::vector<std::string> RegularFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) continue;
    names.emplace_back(entry.cFileName);
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return names;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  // A disk file only: a pipe or device could keep us waiting.
  bool ok = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) <= maxBytes;
  if (ok) {
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      ::DWORD read = 0;
      ok = ::ReadFile(file, bytes->data() + done, static_cast<::DWORD>(bytes->size() - done), &read, nullptr) != 0;
      if (ok && read == 0) {
        bytes->resize(done);  // the file shrank while we read it
        break;
      }
      done += read;
    }
  }
  ::CloseHandle(file);
  return ok && !bytes->empty();
}

}  // namespace platform
