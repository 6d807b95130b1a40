// Run-time loading of system libraries (the password services).
#include "platform/win32/system.h"

namespace platform {

LibraryHandle LoadLibraryA(const char* path, std::string* error) {
  HMODULE library = ::LoadLibraryA(path);
  if (!library && error) *error = "error " + std::to_string(::GetLastError());
  return library;
}

void* GetProcAddress(LibraryHandle library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibrary(LibraryHandle library) {
  if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

std::string ProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string directory(path, length);
  const size_t slash = directory.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : directory.substr(0, slash);
}

}  // namespace platform
