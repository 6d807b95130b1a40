#include "platform/libraries.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace platform {

LibraryHandle LoadLibraryA(const char* path, std::string* error) {
  // NOTE: GTK cannot be unloaded safely once it has run, so nothing loaded
  // here ever is.
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!library && error) {
    const char* why = dlerror();
    *error = why ? why : "cannot load";
  }
  return library;
}

void* GetProcAddress(LibraryHandle library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void FreeLibrary(LibraryHandle library) {
  if (library) dlclose(library);
}

std::string ProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string program(path, static_cast<size_t>(n));
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

}  // namespace platform
