#pragma once
// The registry: two roots, keys with subkeys, string and 32-bit values, default (unnamed) values.
// Each root is one JSON file in the configuration folder (ConfigDir()), rewritten atomically on
// every change. Key and value names are compared without regard to ASCII case; key paths use
// '\\' between names.
#include <string>
#include <string_view>

#include "platform/base/types.h"

namespace lumora::plat {

struct RegistryKey;
using HKEY = RegistryKey*;
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_WRITE_FAULT = 29;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_UNSUPPORTED_TYPE = 1630;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegCreateKeyEx(HKEY parent, std::string_view subkey, HKEY* out, DWORD* disposition = nullptr);
LONG RegOpenKeyEx(HKEY parent, std::string_view subkey, HKEY* out);
LONG RegCloseKey(HKEY key);
// Deletes the subkey with everything below it.
LONG RegDeleteKey(HKEY parent, std::string_view subkey);
LONG RegDeleteValue(HKEY key, std::string_view name);
// An empty name is the key's default value.
LONG RegSetString(HKEY key, std::string_view name, std::string_view value);
LONG RegSetDword(HKEY key, std::string_view name, DWORD value);
LONG RegQueryString(HKEY key, std::string_view name, std::string* out);  // ERROR_UNSUPPORTED_TYPE for a number
LONG RegQueryDword(HKEY key, std::string_view name, DWORD* out);
LONG RegQueryValueType(HKEY key, std::string_view name, DWORD* type);
LONG RegEnumKey(HKEY key, DWORD index, std::string* name);
LONG RegEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type);

// Forgets the loaded files, so the next access reads them again (after the configuration folder
// changed, or another process wrote them).
void RegFlushCache();

}  // namespace lumora::plat
