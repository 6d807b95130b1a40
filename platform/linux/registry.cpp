#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/error_sink.h"
#include "platform/linux/registry_file.h"

namespace platform {

struct RegistryKey {
  std::string path;
  // What the key reads: the registry as it was when the key was opened, with
  // the key's own changes made to it.
  std::shared_ptr<const RegistryDocument> document;
  std::shared_ptr<RegistryDocument> own;  // once it changes: its own copy, which `document` then is
  // Changes gathered until the key is closed, then written in one rewrite.
  bool create = false;
  std::vector<std::pair<std::string, RegistryValue>> changes;
};

namespace {

RegistryKey currentUser;

constexpr off_t kLargestFile = 16 << 20;  // anything bigger is not a settings file
constexpr const char* kFileName = "registry.reg";
constexpr const char* kOldLockName = "registry.reg.lock";
constexpr const char* kTemporaryPrefix = ".registry.reg.";
constexpr time_t kSettledSeconds = 2;  // a file unchanged this long is read once

// The cause of a failed file operation, as the system's error codes say it.
LONG ErrorFromErrno(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ELOOP:
      return ERROR_CANT_ACCESS_FILE;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_WRITE_FAULT;
  }
}

// Reads an open file whole: a regular file of a settings file's size, or
// nothing. On failure `error` holds the code and `cause` the reason.
bool ReadOpenFile(int fd, std::string* text, LONG* error, std::string* cause) {
  text->clear();
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    *error = ErrorFromErrno(errno);
    *cause = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = ERROR_INVALID_DATA;
    *cause = S_ISDIR(st.st_mode) ? "a folder stands where the file should be" : "not a regular file";
    return false;
  }
  if (st.st_size > kLargestFile) {
    *error = ERROR_INVALID_DATA;
    *cause = "too large for a settings file";
    return false;
  }
  text->reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = ErrorFromErrno(errno);
      *cause = std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    if (text->size() + static_cast<size_t>(n) > static_cast<size_t>(kLargestFile)) {
      *error = ERROR_INVALID_DATA;
      *cause = "too large for a settings file";
      return false;
    }
    text->append(buffer, static_cast<size_t>(n));
  }
}

// The registry as it stands, read and parsed at most once per state of the
// file: the last document read is kept with the identity of the file it came
// from (device, inode, size, change times), and a file that has not changed
// since is not read again (see Load for files that changed just now). The document is empty when there is no file, and
// also when the file cannot be read as one (`status` then says why; such a
// file must not be written over).
struct Snapshot {
  std::shared_ptr<const RegistryDocument> document;
  LONG status = ERROR_SUCCESS;
  std::string cause;
};

struct FileIdentity {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileIdentity& o) const {
    return path == o.path && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

struct LoadCache {
  FileIdentity identity;
  std::shared_ptr<const RegistryDocument> document;
};

LoadCache& Cache() {
  static LoadCache cache;
  return cache;
}

std::shared_ptr<const RegistryDocument> EmptyDocument() {
  static const auto empty = std::make_shared<const RegistryDocument>();
  return empty;
}

Snapshot Load() {
  Snapshot snapshot;
  snapshot.document = EmptyDocument();
  const std::string path = RegistryFilePath();
  if (path.empty()) return snapshot;
  // Never blocks (a FIFO in its place) and takes no terminal.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      snapshot.status = ErrorFromErrno(errno);
      snapshot.cause = std::strerror(errno);
    }
    return snapshot;
  }
  struct stat st {};
  FileIdentity identity;
  if (fstat(fd, &st) == 0) {
    identity = {path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    if (S_ISREG(st.st_mode) && Cache().document && Cache().identity == identity) {
      close(fd);
      snapshot.document = Cache().document;
      return snapshot;
    }
  }
  std::string text;
  const bool read = ReadOpenFile(fd, &text, &snapshot.status, &snapshot.cause);
  close(fd);
  if (!read) return snapshot;
  auto document = std::make_shared<RegistryDocument>();
  if (!document->Parse(text)) {
    snapshot.status = ERROR_INVALID_DATA;
    snapshot.cause = "not a REGEDIT4 file";
    return snapshot;
  }
  snapshot.document = document;
  // A file changed within the last moments may change again within the
  // granularity of its time stamps without any of them moving; only a file
  // that has been still for a while is remembered.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (!identity.path.empty() && now.tv_sec - identity.modified.tv_sec > kSettledSeconds) {
    Cache() = {identity, document};
  } else {
    Cache() = {};
  }
  return snapshot;
}

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// A folder root makes in another user's folder (a save run with sudo, in the
// user's home) is that user's, so that their own saves go on working. Reached
// without following a link, so that nothing else can be handed over.
void GiveToOwnerOfFolder(const std::string& made, const std::string& parent) {
  if (geteuid() != 0) return;
  struct stat owner {};
  if (stat(parent.c_str(), &owner) != 0 || owner.st_uid == 0) return;
  const int fd = open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  if (fchown(fd, owner.st_uid, owner.st_gid) != 0) {
    // Left as root's: the save itself still works.
  }
  close(fd);
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
  if (mkdir(folder.c_str(), 0700) != 0) return errno == EEXIST;
  GiveToOwnerOfFolder(folder, Folder(folder));
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A new file in the folder under a name nobody else uses; never opened
// through a link, never one that already exists.
int CreateTemporary(int folder, std::string* name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    *name = kTemporaryPrefix + std::to_string(getpid()) + "." + std::to_string(++counter) + "." +
            std::to_string(now.tv_nsec);
    const int fd = openat(folder, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Why there is no settings file to write.
std::string NoFolderCause() {
  const char* home = std::getenv("HOME");
  return !home || !*home ? "HOME is not set" : "HOME is not an absolute path (" + std::string(home) + ")";
}

// A failure of a change: reported once, with the file it concerns.
LONG Fail(LONG code, const std::string& what) {
  ReportError("registry", what + ", settings not saved");
  return code;
}

// Writes `text` to a new file in the folder and renames it over the settings
// file, so a reader sees either the old file or the new one, never half of
// one. The new file takes the old one's owner and mode.
LONG ReplaceFile(int folder, const std::string& path, const std::string& text, const struct stat* old) {
  std::string temp;
  const int fd = CreateTemporary(folder, &temp);
  if (fd < 0) return Fail(ErrorFromErrno(errno), "cannot write in " + Folder(path) + ": " + std::strerror(errno));
  bool ok = WriteAll(fd, text);
  if (ok && old) {
    // As the user left it, also when the save runs as another user (root):
    // the file stays theirs.
    if (old->st_uid != geteuid() || old->st_gid != getegid()) {
      if (fchown(fd, old->st_uid, old->st_gid) != 0 && geteuid() == 0) ok = false;
    }
    ok = ok && fchmod(fd, old->st_mode & 07777) == 0;
  } else if (ok && geteuid() == 0) {
    // A new file root writes in a user's folder is the user's, like the folder.
    struct stat owner {};
    if (fstat(folder, &owner) == 0 && owner.st_uid != 0) ok = fchown(fd, owner.st_uid, owner.st_gid) == 0;
  }
  ok = ok && fsync(fd) == 0;
  const int error = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    unlinkat(folder, temp.c_str(), 0);
    return Fail(ErrorFromErrno(error), "cannot write " + path + ": " + std::strerror(error));
  }
  if (renameat(folder, temp.c_str(), folder, kFileName) != 0) {
    const int renameError = errno;
    unlinkat(folder, temp.c_str(), 0);
    return Fail(ErrorFromErrno(renameError), "cannot replace " + path + ": " + std::strerror(renameError));
  }
  fsync(folder);  // the rename itself reaches the disk
  return ERROR_SUCCESS;
}

// Under the lock, files of saves that never finished (a process killed while
// it wrote) go: only the lock's holder writes a temporary file. So does the
// empty lock file earlier versions left beside the settings. Links of those
// names are left alone.
void RemoveLeftovers(int folder) {
  const int listing = dup(folder);
  if (listing < 0) return;
  DIR* entries = fdopendir(listing);
  if (!entries) {
    close(listing);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name.rfind(kTemporaryPrefix, 0) == 0 || name == kOldLockName) names.push_back(name);
  }
  closedir(entries);
  for (const std::string& name : names) {
    struct stat st {};
    if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (name == kOldLockName && st.st_size != 0) continue;
    unlinkat(folder, name.c_str(), 0);
  }
}

// Read-modify-write of the file under an exclusive lock on its folder, which
// every process that changes the registry takes; the lock ends with the
// descriptor and leaves nothing behind. The folder and the file are never
// reached through a symbolic link: a change then fails.
LONG ChangeRegistry(const std::function<bool(RegistryDocument&)>& change) {
  const std::string path = RegistryFilePath();
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND, NoFolderCause());
  const std::string folderPath = Folder(path);
  if (!MakeFolders(folderPath)) {
    return Fail(ErrorFromErrno(errno), "cannot create " + folderPath + ": " + std::strerror(errno));
  }
  const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) {
    const int error = errno;
    if (error == ELOOP || error == ENOTDIR) {
      return Fail(ERROR_CANT_ACCESS_FILE, folderPath + " is a symbolic link or not a folder");
    }
    return Fail(ErrorFromErrno(error), "cannot open " + folderPath + ": " + std::strerror(error));
  }
  while (flock(folder, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int error = errno;
      close(folder);
      return Fail(ErrorFromErrno(error), "cannot lock " + folderPath + ": " + std::strerror(error));
    }
  }

  LONG result = ERROR_SUCCESS;
  std::string text;
  struct stat old {};
  bool existed = false;
  const int file = openat(folder, kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0 && errno == ELOOP) {
    result = Fail(ERROR_CANT_ACCESS_FILE, path + " is a symbolic link; left as it is");
  } else if (file < 0 && errno != ENOENT) {
    result = Fail(ErrorFromErrno(errno), "cannot read " + path + ": " + std::strerror(errno));
  } else if (file >= 0) {
    existed = true;
    std::string cause;
    if (!ReadOpenFile(file, &text, &result, &cause)) {
      result = Fail(result, "cannot read " + path + ": " + cause + "; left as it is");
    } else if (fstat(file, &old) == 0 && (old.st_mode & 0222) == 0) {
      result = Fail(ERROR_ACCESS_DENIED, path + " is read-only; left as it is");
    }
    close(file);
  }
  if (result == ERROR_SUCCESS) {
    RegistryDocument document;
    if (!document.Parse(text)) {
      result = Fail(ERROR_INVALID_DATA, path + " is not a REGEDIT4 file; left as it is");
    } else if (!change(document)) {
      result = ERROR_INVALID_PARAMETER;
    } else if (document.Text() != text || !existed) {
      result = ReplaceFile(folder, path, document.Text(), existed ? &old : nullptr);
    }
  }
  if (result == ERROR_SUCCESS) RemoveLeftovers(folder);
  close(folder);  // releases the lock
  return result;
}

bool JoinPath(HKEY key, const char* subKey, std::string* path) {
  if (!key) return false;
  *path = key->path;
  if (subKey && *subKey) *path += (path->empty() ? "" : "\\") + std::string(subKey);
  return RegistryDocument::ValidKeyPath(*path);
}

// The document a key reads, as a copy of its own once it starts to change it.
RegistryDocument& OwnDocument(HKEY key) {
  if (!key->own) {
    key->own = std::make_shared<RegistryDocument>(*key->document);
    key->document = key->own;
  }
  return *key->own;
}

}  // namespace

const HKEY HKEY_CURRENT_USER = &currentUser;

std::string RegistryFilePath() {
  // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored; so is a
  // relative HOME, which would put the settings wherever the program runs.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return "";
    folder = std::string(home) + "/.config";
  }
  return folder + "/harbor-lights/" + kFileName;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!key) return ERROR_INVALID_HANDLE;
  if (!JoinPath(key, subKey, &path)) return ERROR_FILE_NOT_FOUND;
  Snapshot snapshot = Load();
  if (!snapshot.document->KeyExists(path)) return ERROR_FILE_NOT_FOUND;
  *result = new RegistryKey{path, std::move(snapshot.document), nullptr, false, {}};
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  const std::shared_ptr<const RegistryDocument> document = key->document ? key->document : Load().document;
  RegistryValue value;
  if (!document->FindValue(key->path, name ? name : "", &value)) return ERROR_FILE_NOT_FOUND;
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

// The key is created in the file when it is closed, together with the values
// set on it: one rewrite for all. Whether the file can take them is checked
// now as well, so that a save bound to fail fails at its first call.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, const void*, HKEY* result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!key) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(key, subKey, &path)) return ERROR_INVALID_PARAMETER;
  if (RegistryFilePath().empty()) return Fail(ERROR_PATH_NOT_FOUND, NoFolderCause());
  Snapshot snapshot = Load();
  if (snapshot.status != ERROR_SUCCESS) {
    return Fail(snapshot.status, "cannot read " + RegistryFilePath() + ": " + snapshot.cause + "; left as it is");
  }
  auto document = std::make_shared<RegistryDocument>(*snapshot.document);
  const bool existed = document->KeyExists(path);
  if (!existed && !document->CreateKey(path)) return ERROR_INVALID_PARAMETER;
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = new RegistryKey{path, document, document, true, {}};
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  RegistryValue value;
  value.type = type;
  if (size) value.data.assign(data, data + size);
  const std::string valueName = name ? name : "";
  const std::string path = key->path;
  if (key == HKEY_CURRENT_USER) {
    // The predefined key is never closed: its changes are written at once.
    return ChangeRegistry([&](RegistryDocument& document) { return document.SetValue(path, valueName, value); });
  }
  if (!OwnDocument(key).SetValue(path, valueName, value)) return ERROR_INVALID_PARAMETER;
  key->changes.emplace_back(valueName, std::move(value));
  return ERROR_SUCCESS;
}

// Writes what the key gathered, in one rewrite of the file; the result is that
// write's.
LONG RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  const std::unique_ptr<RegistryKey> closing(key);
  if (!closing->create && closing->changes.empty()) return ERROR_SUCCESS;
  return ChangeRegistry([&](RegistryDocument& document) {
    if (closing->create && !document.KeyExists(closing->path) && !document.CreateKey(closing->path)) return false;
    for (const auto& [name, value] : closing->changes) {
      if (!document.SetValue(closing->path, name, value)) return false;
    }
    return true;
  });
}

}  // namespace platform
