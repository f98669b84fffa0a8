#pragma once
// The registry: a persistent store (registry.db in the prefix, SQLite in WAL mode)
// shared by every process of the suite, with Win32's functions and result codes.
// Key and value names keep their case and match without it; values keep their bytes
// and type; enumeration follows creation order. A change committed by one process is
// seen by the next read in every other process; unchanged values are served from an
// in-process cache. A store that cannot be used (not a database, damaged, unreadable)
// makes the functions fail with ERROR_BADDB, ERROR_REGISTRY_CORRUPT, ERROR_CANTOPEN or
// ERROR_CANTREAD; storeError() says why, and the file is never replaced.

#include <platform/Result.h>
#include <platform/Security.h>
#include <platform/WinTypes.h>

#include <cstdint>
#include <optional>
#include <string>

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                    LPDWORD disposition) noexcept;
LONG RegCreateKey(HKEY key, LPCSTR subKey, PHKEY result) noexcept;
LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) noexcept;
LONG RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result) noexcept;
LONG RegCloseKey(HKEY key) noexcept;
// name null or "" is the unnamed default value. data null asks only for type and size.
// A buffer too small: ERROR_MORE_DATA with *dataSize set to the size needed.
LONG RegQueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                     LPDWORD dataSize) noexcept;
LONG RegSetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD dataSize) noexcept;
// Index order is creation order. Past the end: ERROR_NO_MORE_ITEMS (259). A name or data
// buffer too small: ERROR_MORE_DATA.
LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                  LPDWORD type, LPBYTE data, LPDWORD dataSize) noexcept;
LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                  LPSTR className, LPDWORD classLength, PFILETIME lastWrite) noexcept;
LONG RegEnumKey(HKEY key, DWORD index, LPSTR name, DWORD nameSize) noexcept;
LONG RegQueryInfoKey(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved,
                     LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                     LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                     LPDWORD securityDescriptorLength, PFILETIME lastWrite) noexcept;
LONG RegDeleteValue(HKEY key, LPCSTR name) noexcept;
// Deletes a key without subkeys (a key with subkeys: ERROR_ACCESS_DENIED, as on NT).
LONG RegDeleteKey(HKEY key, LPCSTR subKey) noexcept;
LONG RegFlushKey(HKEY key) noexcept;

// Security descriptors are stored per key in self-relative form and enforced on open and
// create for the current user (platform/Security.h).
LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor,
                       LPDWORD descriptorSize) noexcept;
LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION info,
                       PSECURITY_DESCRIPTOR descriptor) noexcept;

// shlwapi: a key with its whole subtree; a value of a subkey.
DWORD SHDeleteKey(HKEY key, LPCSTR subKey) noexcept;
DWORD SHDeleteValue(HKEY key, LPCSTR subKey, LPCSTR value) noexcept;

namespace platform::registry {

// The store could not be opened or is corrupt: the reason, for the program to report.
// Never cleared by replacing the database; the user must act.
std::string storeError();
// Test hook: the number of the store's cross-process change counter.
std::uint64_t changeCounter();

// Where the registry stands, for callers that keep values derived from it: two equal
// stamps mean the same store (prefix) and no change committed in between by any process.
// Nothing while the store cannot be opened.
struct ChangeStamp {
    std::uint64_t store = 0;   // which opening of the store (a new prefix reopens it)
    std::uint64_t counter = 0; // the cross-process change counter
    bool operator==(const ChangeStamp&) const = default;
};
std::optional<ChangeStamp> changeStamp();

} // namespace platform::registry
