#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace platform {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

std::vector<std::string> RegularFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return names;
  const int dirFd = dirfd(dir.get());
  while (dirent* entry = readdir(dir.get())) {
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

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
            static_cast<uint64_t>(info.st_size) <= maxBytes;
  if (ok) {
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n == 0) {
        bytes->resize(done);  // the file shrank while we read it
        break;
      } else if (errno != EINTR) {
        ok = false;
      }
    }
  }
  close(fd);
  return ok && !bytes->empty();
}

}  // namespace platform
