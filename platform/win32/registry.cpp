// The user's part of the system registry (ADVAPI32). Our key handles carry the
// system's; results and value types are the system's own numbers.
#include "platform/win32/system.h"

namespace {
// Read before the name is taken back below, so that ours can be defined.
const HKEY systemCurrentUser = HKEY_CURRENT_USER;
}  // namespace
#undef HKEY_CURRENT_USER

namespace platform {
namespace {

::HKEY System(HKEY key) { return reinterpret_cast<::HKEY>(key); }
HKEY Ours(::HKEY key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

const HKEY HKEY_CURRENT_USER = Ours(systemCurrentUser);

// The registry is the system's; there is no file to name.
std::string RegistryFilePath() { return {}; }

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
  ::HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(System(key), subKey, options, access, &opened);
  if (status == ERROR_SUCCESS) *result = Ours(opened);
  return status;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  ::DWORD systemType = 0;
  ::DWORD systemSize = size ? *size : 0;
  const LONG status = ::RegQueryValueExA(System(key), name, reinterpret_cast<::DWORD*>(reserved), &systemType,
                                         data, size ? &systemSize : nullptr);
  if (type) *type = systemType;
  if (size) {
    // A shorter value leaves the rest of the buffer zero, as on every platform.
    if (status == ERROR_SUCCESS && data && systemSize < *size) {
      for (DWORD i = systemSize; i < *size; ++i) data[i] = 0;
    }
    *size = systemSize;
  }
  return status;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                     const void* securityAttributes, HKEY* result, DWORD* disposition) {
  ::HKEY created = nullptr;
  ::DWORD systemDisposition = 0;
  const LONG status = ::RegCreateKeyExA(
      System(key), subKey, reserved, keyClass, options, access,
      static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes)), &created, &systemDisposition);
  if (status == ERROR_SUCCESS) *result = Ours(created);
  if (disposition) *disposition = systemDisposition;
  return status;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  return ::RegSetValueExA(System(key), name, reserved, type, data, size);
}

LONG RegCloseKey(HKEY key) { return ::RegCloseKey(System(key)); }

}  // namespace platform
