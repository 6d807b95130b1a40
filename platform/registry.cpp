#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/error_sink.h"
#include "platform/registry_file.h"

namespace platform {

struct RegistryKey {
  std::string path;
};

namespace {

RegistryKey currentUser;

constexpr off_t kLargestFile = 16 << 20;  // anything bigger is not a settings file

enum class ReadResult { Read, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string* text) {
  text->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
    close(fd);
    return ReadResult::Failed;
  }
  char buffer[8192];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text->size() > static_cast<size_t>(kLargestFile)) {
      close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ReadResult::Read;
}

// The registry as it stands; false when the file cannot be read as one (the
// document is then empty, and must not be written back).
bool LoadDocument(RegistryDocument* document) {
  std::string text;
  const std::string path = RegistryFilePath();
  const ReadResult read = path.empty() ? ReadResult::Missing : ReadWholeFile(path, &text);
  if (read == ReadResult::Failed || !document->Parse(text)) {
    document->Parse("");
    return false;
  }
  return true;
}

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p with mode 0700 for what it creates.
bool MakeFolders(const std::string& folder) {
  struct stat st {};
  if (stat(folder.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;  // for the report: something else stands where the folder goes
    return false;
  }
  if (folder != Folder(folder) && !MakeFolders(Folder(folder))) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes `text` to a new file beside `path` and renames it over `path`, so a
// reader sees either the old file or the new one, never half of one.
bool ReplaceFile(const std::string& path, const std::string& text, std::string* cause) {
  std::string target = path;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace what a symbolic link points at, not the link itself.
    char* real = realpath(path.c_str(), nullptr);
    if (real) {
      target = real;
      std::free(real);
    }
  }
  const bool existed = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  std::string temp = Folder(target) + "/.registry.reg.XXXXXX";
  const int fd = mkstemp(temp.data());  // mode 0600
  if (fd < 0) {
    *cause = std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text);
  if (ok && existed) fchmod(fd, st.st_mode & 07777);  // keep the mode the user gave it
  ok = ok && fsync(fd) == 0;
  if (!ok) *cause = std::strerror(errno);
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    *cause = std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  const int folder = open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);  // the rename itself reaches the disk
    close(folder);
  }
  return true;
}

// Read-modify-write of the file under an exclusive lock on a lock file beside
// it, which every process that changes the registry takes.
LONG ChangeRegistry(const std::function<bool(RegistryDocument&)>& change) {
  const std::string path = RegistryFilePath();
  if (path.empty()) {
    ReportError("registry", "no home folder, settings not saved");
    return ERROR_FILE_NOT_FOUND;
  }
  const std::string folder = Folder(path);
  if (!MakeFolders(folder)) {
    ReportError("registry", "cannot create " + folder + ": " + std::strerror(errno));
    return ERROR_ACCESS_DENIED;
  }
  const std::string lockPath = path + ".lock";
  const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) {
    ReportError("registry", "cannot write " + lockPath + ": " + std::strerror(errno));
    return ERROR_ACCESS_DENIED;
  }
  while (flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ReportError("registry", "cannot lock " + lockPath + ": " + std::strerror(errno));
      close(lock);
      return ERROR_ACCESS_DENIED;
    }
  }

  LONG result = ERROR_SUCCESS;
  std::string text;
  RegistryDocument document;
  const ReadResult read = ReadWholeFile(path, &text);
  if (read == ReadResult::Failed) {
    ReportError("registry", "cannot read " + path + ", settings not saved");
    result = ERROR_ACCESS_DENIED;
  } else if (!document.Parse(text)) {
    ReportError("registry", path + " is not a REGEDIT4 file; left as it is, settings not saved");
    result = ERROR_INVALID_DATA;
  } else if (!change(document)) {
    result = ERROR_INVALID_PARAMETER;
  } else if (document.Text() != text) {
    std::string cause;
    if (!ReplaceFile(path, document.Text(), &cause)) {
      ReportError("registry", "cannot write " + path + ": " + cause);
      result = ERROR_WRITE_FAULT;
    }
  }
  close(lock);  // releases the lock
  return result;
}

bool JoinPath(HKEY key, const char* subKey, std::string* path) {
  if (!key) return false;
  *path = key->path;
  if (subKey && *subKey) *path += (path->empty() ? "" : "\\") + std::string(subKey);
  return RegistryDocument::ValidKeyPath(*path);
}

}  // namespace

const HKEY HKEY_CURRENT_USER = &currentUser;

std::string RegistryFilePath() {
  // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = getpwuid(getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home) return "";
    folder = std::string(home) + "/.config";
  }
  return folder + "/harbor-lights/registry.reg";
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!key) return ERROR_INVALID_HANDLE;
  if (!JoinPath(key, subKey, &path)) return ERROR_FILE_NOT_FOUND;
  RegistryDocument document;
  LoadDocument(&document);
  if (!document.KeyExists(path)) return ERROR_FILE_NOT_FOUND;
  *result = new RegistryKey{path};
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  RegistryDocument document;
  LoadDocument(&document);
  RegistryValue value;
  if (!document.FindValue(key->path, name ? name : "", &value)) return ERROR_FILE_NOT_FOUND;
  if (value.data.size() > UINT32_MAX) return ERROR_INVALID_DATA;
  const DWORD length = static_cast<DWORD>(value.data.size());
  if (type) *type = value.type;
  if (!size) return ERROR_SUCCESS;
  if (!data) {
    *size = length;
    return ERROR_SUCCESS;
  }
  if (length > *size) {
    *size = length;
    return ERROR_MORE_DATA;
  }
  if (length) std::memcpy(data, value.data.data(), length);
  std::memset(data + length, 0, *size - length);
  *size = length;
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, const void*, HKEY* result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!key) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(key, subKey, &path)) return ERROR_INVALID_PARAMETER;
  DWORD what = REG_OPENED_EXISTING_KEY;
  const LONG status = ChangeRegistry([&](RegistryDocument& document) {
    if (document.KeyExists(path)) return true;
    what = REG_CREATED_NEW_KEY;
    return document.CreateKey(path);
  });
  if (status != ERROR_SUCCESS) return status;
  if (disposition) *disposition = what;
  *result = new RegistryKey{path};
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  RegistryValue value;
  value.type = type;
  if (size) value.data.assign(data, data + size);
  const std::string path = key->path;
  return ChangeRegistry(
      [&](RegistryDocument& document) { return document.SetValue(path, name ? name : "", value); });
}

LONG RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (key != HKEY_CURRENT_USER) delete key;
  return ERROR_SUCCESS;
}

}  // namespace platform
