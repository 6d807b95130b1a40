#pragma once
// The user's part of the registry (HKEY_CURRENT_USER), kept in one REGEDIT4
// text file: ${XDG_CONFIG_HOME:-$HOME/.config}/harbor-lights/registry.reg.
//
// The calls stand in for the system's RegOpenKeyExA, RegQueryValueExA,
// RegCreateKeyExA, RegSetValueExA and RegCloseKey, with the answers the shell
// relies on:
// - a key that does not exist fails to open;
// - a query into a buffer too small for the value fails (ERROR_MORE_DATA); a
//   shorter value fills the first bytes and the rest of the buffer is zeroed;
//   the value's type is reported but never checked;
// - a key opened or created reads the file once, when it is opened; what it
//   reads then stays as it was, with the key's own changes made to it;
// - the changes made through a key (its creation by RegCreateKeyExA, the
//   values RegSetValueExA sets) are gathered and written when the key is
//   closed: one read-modify-write of the whole file under a lock shared by all
//   processes (on the settings folder itself; nothing is left beside the
//   file), replacing the file atomically. RegCloseKey gives that write's
//   result. Everything else the file holds (other keys, comments, lines we
//   cannot read) is kept as it was, and so are its owner and mode;
// - a missing, unreadable, binary or otherwise unreadable-as-REGEDIT4 file
//   reads as an empty registry, and is never written over: changes then fail,
//   as they do when the file is read-only (no write permission bit) or it or
//   its folder is a symbolic link. Every failed change is reported with its
//   cause, once, through the error sink.
// Access masks are accepted and not enforced: the file's permissions decide.
#include <cstdint>
#include <string>

namespace platform {

using LONG = int32_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
using REGSAM = uint32_t;

// Results and constants keep their system names and values.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_WRITE_PROTECT = 19;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_CANT_ACCESS_FILE = 1920;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct RegistryKey;  // an open key: its path below HKEY_CURRENT_USER
using HKEY = RegistryKey*;
extern const HKEY HKEY_CURRENT_USER;  // predefined; closing it does nothing

// The file the registry lives in; empty when neither XDG_CONFIG_HOME nor HOME
// names an absolute folder (relative ones are ignored, so the settings never
// land wherever the program happens to run). Read from the environment on
// every call.
std::string RegistryFilePath();

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// `name` null or "" is the key's default value. `data` may be null to ask for
// the size only.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                     const void* securityAttributes, HKEY* result, DWORD* disposition);
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);

}  // namespace platform
