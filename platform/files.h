#pragma once
// Reading the user's own files: the folder listing and whole-file reads the
// picture folder needs.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The names (not paths) of the regular files in `folder`, a link to one
// included, in no particular order; none when the folder cannot be read.
std::vector<std::string> RegularFileNames(const std::string& folder);

// The whole content of the regular file at `path`, when it has between 1 and
// `maxBytes` bytes. False for anything else (missing, a folder, a pipe or
// device, which are never waited on, too large, unreadable).
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* bytes);

}  // namespace platform
