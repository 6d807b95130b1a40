#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

std::vector<std::string> RegularFileNames(const std::string& folder, bool (*keep)(const char* name),
                                          std::string* error) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) {
    if (error) *error = std::strerror(errno);
    return names;
  }
  const int dirFd = dirfd(dir.get());
  while (dirent* entry = readdir(dir.get())) {
    if (keep && !keep(entry->d_name)) continue;
    // Only regular files (a link to one counts); the type from readdir saves
    // a stat for most entries of a large folder.
    if (entry->d_type != DT_REG) {
      struct stat info {};
      if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
      if (fstatat(dirFd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    }
    names.emplace_back(entry->d_name);
  }
  return names;
}

FileHandle OpenRegularFile(const std::string& path, int64_t* size, std::string* reason) {
  // O_NONBLOCK: opening a FIFO (or a link to one) returns at once instead of
  // waiting for a writer; fstat then shows it is no regular file.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return kNoFile;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *reason = S_ISREG(info.st_mode) ? std::strerror(errno) : "not a regular file";
    close(fd);
    return kNoFile;
  }
  *size = info.st_size;
  return fd;
}

long ReadFileBytes(FileHandle file, void* buffer, size_t capacity, std::string* reason) {
  const ssize_t n = read(static_cast<int>(file), buffer, capacity);
  if (n < 0) {
    if (errno == EINTR) {
      reason->clear();
    } else {
      *reason = std::strerror(errno);
    }
    return -1;
  }
  return static_cast<long>(n);
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) close(static_cast<int>(file));
}

}  // namespace platform
