#pragma once
// Run-time loading of libraries: the program's optional parts (the GTK dialogs)
// are loaded only when a mode needs them, so the saver starts without them.
#include <string>

namespace platform {

using LibraryHandle = void*;

// Loads the shared library at `path`; nullptr when it cannot be loaded, with
// the loader's reason in `error` when given.
LibraryHandle LoadLibraryA(const char* path, std::string* error = nullptr);
void* GetProcAddress(LibraryHandle library, const char* name);
void FreeLibrary(LibraryHandle library);

// The folder that holds the running program, without a trailing slash.
std::string ProgramDirectory();

}  // namespace platform
