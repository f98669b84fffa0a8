#pragma once
// The suite's settings tree and small helpers over the registry that every deliverable
// uses: key paths, DWORD and string reads, and the list convention (a subkey whose
// unnamed DWORD value switches the list on or off and whose REG_SZ values "0", "1", ...
// hold the entries in order; every save deletes and re-creates the subkey).

#include <platform/Registry.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The maker's key: the uninstall helper deletes it with everything below.
inline constexpr const char* MakerKey = "Software\\Kestrani";
inline constexpr const char* MainKey = "Software\\Kestrani\\Hollowmere";
inline constexpr const char* BannersKey = "Software\\Kestrani\\Hollowmere\\Banners";
inline constexpr const char* DllsKey = "Software\\Kestrani\\Hollowmere\\DLLs";
inline constexpr const char* ChainKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Chain.dll";
inline constexpr const char* LocalKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Local.dll";
inline constexpr const char* FiltersKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll";
inline constexpr const char* RequestKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Req";
inline constexpr const char* ResponseKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Res";
inline constexpr const char* IEExtKey = "Software\\Kestrani\\Hollowmere\\DLLs\\IEExt.dll";

// Values that several deliverables read or write.
// Main key:
inline constexpr const char* ProxyPortValue = "PROXYPORT";
inline constexpr const char* PrivacyLevelValue = "PRIVACYLEVEL";
inline constexpr const char* AnonymityLevelValue = "ANONYMITYLEVEL";
inline constexpr const char* IsRegisteredValue = "ISREGISTERED";
inline constexpr const char* ActiveValue = "ACTIVE";
// 1 (or absent): today's browsers count as browsers; 0: only the three old words do.
inline constexpr const char* ModernBrowsersValue = "MODERNBROWSERS";
// Chain module key:
inline constexpr const char* ConnectChainValue = "CONNECTCHAIN";
// Every module key: the module file the host loads.
inline constexpr const char* PathNameValue = "PathName";

// An open key that closes itself.
class Key {
public:
    Key() = default;
    explicit Key(HKEY key) : m_key(key) {}
    ~Key() { reset(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    Key(Key&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    Key& operator=(Key&& other) noexcept;

    // Opens root\path; an invalid Key when that fails (lastError() tells why).
    static Key open(HKEY root, const char* path, REGSAM access = KEY_READ);
    static Key create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS);

    bool valid() const { return m_key != nullptr; }
    explicit operator bool() const { return valid(); }
    HKEY get() const { return m_key; }
    LONG lastError() const { return m_error; }
    void reset();

    std::optional<DWORD> readDword(const char* name) const;
    std::optional<std::string> readString(const char* name, DWORD maxBytes = 0) const;
    LONG writeDword(const char* name, DWORD value) const;
    // REG_SZ with the terminating zero counted in the data length.
    LONG writeString(const char* name, std::string_view value) const;
    // REG_SZ whose data length leaves the terminating zero out (some writers do this).
    LONG writeStringNoZero(const char* name, std::string_view value) const;

private:
    HKEY m_key = nullptr;
    LONG m_error = ERROR_SUCCESS;
};

// The folder "Backup" beside Umbravia.exe (a DOS path), from the path the main program
// records in the main key's unnamed value (at most 260 bytes). Nothing when that value
// cannot be read: a backup then has no place (it never writes into a drive's root).
std::optional<std::string> backupFolder();

// One DWORD at root\path\name, or nothing when the key or value cannot be read.
std::optional<DWORD> readDword(HKEY root, const char* path, const char* name);

struct StringList {
    DWORD enabled = 0;
    std::vector<std::string> entries;
};
// Reads a list subkey: the unnamed DWORD and every non-empty REG_SZ value in
// enumeration order. Nothing when the key cannot be opened or the enumeration fails
// with anything but the end of the list.
std::optional<StringList> readList(HKEY root, const char* path);
// The entries of an open list key, enumerated from index 0 with the value name and data
// buffers reset to nameBytes and dataBytes before each call, until the first result other
// than success; that result is returned (ERROR_NO_MORE_ITEMS at a normal end). An entry
// longer than its buffer therefore ends the list there.
LONG readListEntries(HKEY key, DWORD nameBytes, DWORD dataBytes, std::vector<std::string>& entries);
// Deletes the subkey with its subtree and writes it anew: the unnamed DWORD, then the
// entries as "0", "1", ... ERROR_SUCCESS or the first failure.
LONG saveList(HKEY root, const char* path, const StringList& list);
// The same with the unnamed DWORD left out when enabled is empty.
LONG saveEntries(HKEY root, const char* path, const std::vector<std::string>& entries,
                 std::optional<DWORD> enabled);
// Appends the non-empty REG_SZ values of an open list key, in enumeration order, read as
// the pages read them (names of up to 256 characters, data of up to MAX_PATH bytes).
// Returns the result that ended the enumeration: ERROR_NO_MORE_ITEMS when it read all.
LONG enumerateEntries(HKEY key, std::vector<std::string>& entries);

} // namespace settings
