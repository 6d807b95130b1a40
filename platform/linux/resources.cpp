#include "platform/resources.h"

namespace platform {
namespace detail {
// Written by the build from a resource list (tools/embed_resources.cpp); each
// library that carries a table compiles this file beside its own.
extern const ResourceEntry kResourceEntries[];
extern const size_t kResourceEntryCount;
}  // namespace detail

namespace {

bool IsIntResource(const char* name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (Upper(*a) != Upper(*b)) return false;
  }
  return *a == *b;
}

// "#104" names number 104, as the system reads it; 0 for anything else.
unsigned NumberFromName(const char* name) {
  if (name[0] != '#' || name[1] == '\0') return 0;
  unsigned long value = 0;
  for (const char* p = name + 1; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > 0xFFFF) return 0;
  }
  return static_cast<unsigned>(value);
}

}  // namespace

const ResourceEntry* ResourceTable(size_t* count) {
  if (count) *count = detail::kResourceEntryCount;
  return detail::kResourceEntries;
}

ResourceHandle FindResourceA(ModuleHandle module, const char* name, unsigned type) {
  if (module != nullptr || name == nullptr) return nullptr;
  unsigned id = IsIntResource(name) ? static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)) : NumberFromName(name);
  for (size_t i = 0; i < detail::kResourceEntryCount; ++i) {
    const ResourceEntry& entry = detail::kResourceEntries[i];
    if (entry.type != type) continue;
    if (id != 0 ? entry.id == id : (entry.id == 0 && SameName(entry.name, name))) return &entry;
  }
  return nullptr;
}

uint32_t SizeofResource(ModuleHandle module, ResourceHandle resource) {
  if (module != nullptr || resource == nullptr) return 0;
  return static_cast<uint32_t>(resource->size);
}

ResourceGlobal LoadResource(ModuleHandle module, ResourceHandle resource) {
  if (module != nullptr) return nullptr;
  return resource;
}

const void* LockResource(ResourceGlobal global) {
  if (global == nullptr || global->size == 0) return nullptr;
  return global->data;
}

ResourceBytes FindResourceBytes(const char* name, unsigned type) {
  ResourceHandle resource = FindResourceA(nullptr, name, type);
  uint32_t size = SizeofResource(nullptr, resource);
  const void* data = LockResource(LoadResource(nullptr, resource));
  if (size == 0 || data == nullptr) return {};
  return {static_cast<const unsigned char*>(data), size};
}

}  // namespace platform
