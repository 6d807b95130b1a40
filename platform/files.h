#pragma once
// Reading the user's own files: the folder listing and the reads the picture
// folder needs. Nothing here ever waits on a pipe or a device.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The names (not paths) of the regular files in `folder` that `keep` accepts
// (all when it is null), a link to one included, in no particular order. When
// the folder cannot be read: none, and `error` (if given) gets the cause.
std::vector<std::string> RegularFileNames(const std::string& folder, bool (*keep)(const char* name) = nullptr,
                                          std::string* error = nullptr);

// An open file of the user's; kNoFile when there is none.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// Opens the regular file at `path` for reading: kNoFile for anything else
// (missing, a folder, a pipe or device, which opening never waits on), with
// the cause in `reason`. `size` gets the file's length.
FileHandle OpenRegularFile(const std::string& path, int64_t* size, std::string* reason);

// Reads up to `capacity` bytes: how many, 0 at the end of the file, or -1 on
// an error, with its cause in `reason` — left empty when a signal interrupted
// the read, which may then be tried again.
long ReadFileBytes(FileHandle file, void* buffer, size_t capacity, std::string* reason);

void CloseFile(FileHandle file);

}  // namespace platform
