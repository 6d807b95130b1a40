// The registry file's reader and writer on arbitrary text: reading never
// crashes; a text it accepts comes back byte for byte; after setting a value
// the new text reads again and holds that value, and every line it held
// before is still there. The same change made through the store, on the text
// as a settings file (in a private folder, in memory where /dev/shm is),
// leaves exactly the text the document gives.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/error_sink.h"
#include "platform/registry.h"
#include "platform/linux/registry_file.h"

namespace {

#define CHECK(condition)                                                 \
  do {                                                                   \
    if (!(condition)) {                                                  \
      std::fprintf(stderr, "registry_fuzz: %s fails\n", #condition); \
      std::abort();                                                      \
    }                                                                    \
  } while (0)

// Every non-empty physical line of `before` appears in `after`, in order.
bool HoldsLinesInOrder(const std::string& after, const std::string& before) {
  size_t at = 0;
  for (size_t start = 0; start < before.size();) {
    size_t end = before.find('\n', start);
    end = end == std::string::npos ? before.size() : end + 1;
    std::string line = before.substr(start, end - start);
    start = end;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.empty()) continue;
    const size_t found = after.find(line, at);
    if (found == std::string::npos) return false;
    at = found + line.size();
  }
  return true;
}

constexpr size_t kLargestStoreRun = 64 * 1024;  // longer texts are checked in memory only

std::string& FuzzRoot() {
  static std::string root;
  return root;
}

void RemoveFuzzRoot() {
  if (!FuzzRoot().empty()) std::system(("rm -rf '" + FuzzRoot() + "'").c_str());
}

// The settings file of the store's runs, in a folder made once and removed
// when the run ends.
const std::string& SettingsFile() {
  static const std::string file = [] {
    char pattern[] = "/dev/shm/hl-registry-fuzz-XXXXXX";
    char fallback[] = "/tmp/hl-registry-fuzz-XXXXXX";
    const char* root = mkdtemp(pattern);
    if (!root) root = mkdtemp(fallback);
    if (!root) std::abort();
    FuzzRoot() = root;
    std::atexit(RemoveFuzzRoot);
    setenv("XDG_CONFIG_HOME", root, 1);
    const std::string folder = std::string(root) + "/harbor-lights";
    mkdir(folder.c_str(), 0700);
    platform::SetErrorSink([](const std::string& line) {
      std::fprintf(stderr, "registry_fuzz: the store failed: %s\n", line.c_str());
      std::abort();
    });
    return folder + "/registry.reg";
  }();
  return file;
}

std::string ReadBack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Sets the value through the registry calls on `text` as the settings file;
// the file afterwards.
std::string ChangeThroughTheStore(const std::string& text, const std::string& path, const std::string& name,
                                  const platform::RegistryValue& value) {
  const std::string& file = SettingsFile();
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  platform::HKEY key = nullptr;
  CHECK(platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                  platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) == platform::ERROR_SUCCESS);
  CHECK(platform::RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(),
                                 static_cast<platform::DWORD>(value.data.size())) == platform::ERROR_SUCCESS);
  CHECK(platform::RegCloseKey(key) == platform::ERROR_SUCCESS);
  return ReadBack(file);
}

}  // namespace

// The input is the file's text, optionally followed by three NUL bytes and
// the change to make (key path, value name, type and bytes); without them the
// change is the one the dialog makes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t split = all.find(std::string("\0\0\0", 3));
  const std::string text = all.substr(0, split);
  std::string path = "Software\\Qz\\Harbor Lights", name = "UseMirrors";
  platform::RegistryValue value{4, {0, 0, 0, 0}};
  if (split != std::string::npos) {
    FuzzedDataProvider input(data + split + 3, size - split - 3);
    if (input.ConsumeBool()) path = input.ConsumeRandomLengthString(24);
    name = input.ConsumeRandomLengthString(16);
    value.type = input.ConsumeIntegralInRange<uint32_t>(0, 12);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    value.data.assign(bytes.begin(), bytes.end());
  }

  platform::RegistryDocument document;
  if (!document.Parse(text)) return 0;  // not ours to rewrite; the store leaves it alone
  CHECK(document.Text() == text);

  platform::RegistryValue old;
  const bool hadValue = document.FindValue(path, name, &old);
  if (!document.SetValue(path, name, value)) {
    CHECK(!platform::RegistryDocument::ValidKeyPath(path) ||
          name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos);
    CHECK(document.Text() == text);
    return 0;
  }
  const std::string written = document.Text();
  platform::RegistryDocument again;
  CHECK(again.Parse(written));
  platform::RegistryValue read;
  CHECK(again.FindValue(path, name, &read));
  CHECK(read.type == value.type && read.data == value.data);
  CHECK(again.KeyExists(path));
  // A replaced value's own lines may go; when nothing was replaced, nothing may.
  if (!hadValue) CHECK(HoldsLinesInOrder(written, text));
  // Key paths the calls take (no embedded NUL: they are C strings) and names
  // without one.
  if (text.size() <= kLargestStoreRun && path.find('\0') == std::string::npos &&
      name.find('\0') == std::string::npos) {
    CHECK(ChangeThroughTheStore(text, path, name, value) == written);
  }
  return 0;
}
