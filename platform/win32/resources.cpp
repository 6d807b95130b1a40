// The program's own resources, from its resource script (windres). Our
// handles carry the system's; callers only pass them on.
#include "platform/win32/system.h"

namespace platform {
namespace {

HRSRC System(ResourceHandle resource) { return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(resource)); }

}  // namespace

// Only the program itself (nullptr) holds resources, as on every platform.
ResourceHandle FindResourceA(ModuleHandle module, const char* name, unsigned type) {
  if (module != nullptr || name == nullptr) return nullptr;
  HRSRC found = ::FindResourceA(win32::Instance(), name, MAKEINTRESOURCEA(type));
  return reinterpret_cast<ResourceHandle>(found);
}

uint32_t SizeofResource(ModuleHandle module, ResourceHandle resource) {
  if (module != nullptr || resource == nullptr) return 0;
  return ::SizeofResource(win32::Instance(), System(resource));
}

ResourceGlobal LoadResource(ModuleHandle module, ResourceHandle resource) {
  if (module != nullptr || resource == nullptr) return nullptr;
  return reinterpret_cast<ResourceGlobal>(::LoadResource(win32::Instance(), System(resource)));
}

const void* LockResource(ResourceGlobal global) {
  if (global == nullptr) return nullptr;
  return ::LockResource(reinterpret_cast<HGLOBAL>(const_cast<ResourceEntry*>(global)));
}

ResourceBytes FindResourceBytes(const char* name, unsigned type) {
  ResourceHandle resource = FindResourceA(nullptr, name, type);
  const uint32_t size = SizeofResource(nullptr, resource);
  const void* data = size ? LockResource(LoadResource(nullptr, resource)) : nullptr;
  if (!data) return {};
  return {static_cast<const unsigned char*>(data), size};
}

// The resources live in the program file, not in a table of ours.
const ResourceEntry* ResourceTable(size_t* count) {
  *count = 0;
  return nullptr;
}

}  // namespace platform
