#pragma once
// The registry store of one process: two connections to registry.db (reads never wait
// for a writer, in this process or another), the change counter and the cache. Reads go
// through the cache under the cache lock; writes run in immediate transactions on the
// write connection under the write lock and bump the counter after they commit.
//
// Lock order: write lock, then cache lock, then open lock.

#include "RegistryCache.h"
#include "RegistryCounter.h"
#include "RegistryDatabase.h"

#include <platform/Security.h>
#include <platform/WinTypes.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform::detail {

// What an open key handle holds: the key and the access granted when it was opened.
struct KeyRef {
    std::int64_t id = 0;
    DWORD access = 0;
};

constexpr std::int64_t kLocalMachineId = 1;
constexpr std::int64_t kCurrentUserId = 2;
constexpr std::int64_t kUsersId = 3;
constexpr const char* kClassesPath = "Software\\Classes";

struct KeyInfo {
    DWORD subKeys = 0;
    DWORD maxSubKeyLength = 0;
    DWORD values = 0;
    DWORD maxValueNameLength = 0;
    DWORD maxValueLength = 0;
    DWORD securityLength = 0;
    FILETIME lastWrite{};
};

class RegistryStore {
public:
    static RegistryStore& instance();

    // Closes the store and drops every cache (a new prefix follows).
    void reset();
    std::string storeError();
    std::uint64_t changeCounter();
    // The counter, when the store is open.
    bool openCounter(std::uint64_t& counter);
    // Raised by every reset, so values derived from one prefix never pass for another's.
    std::uint64_t generation() const { return m_generation.load(std::memory_order_acquire); }

    LONG openKey(const KeyRef& base, std::string_view path, REGSAM access, KeyRef& out);
    LONG queryValue(const KeyRef& key, std::string_view name, LPDWORD type, LPBYTE data,
                    LPDWORD size);
    LONG enumValue(const KeyRef& key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD type,
                   LPBYTE data, LPDWORD size);
    LONG enumKey(const KeyRef& key, DWORD index, LPSTR name, LPDWORD nameLength,
                 PFILETIME lastWrite);
    LONG queryInfo(const KeyRef& key, KeyInfo& info);
    LONG getSecurity(const KeyRef& key, SECURITY_INFORMATION info, std::string& descriptor);
    // The key's own name as stored (case kept).
    LONG keyName(const KeyRef& key, std::string& name);

    // Opens root\path, creating what is missing. sd (either layout) is given to the last
    // key when it is created; other new keys inherit from their parent.
    LONG createKey(const KeyRef& base, std::string_view path, REGSAM access, const void* sd,
                   KeyRef& out, DWORD* disposition);
    LONG setValue(const KeyRef& key, std::string_view name, DWORD type, std::string_view data);
    LONG deleteValue(const KeyRef& key, std::string_view name);
    // An empty path deletes the key itself. Without withSubtree a key that has subkeys is
    // refused (ERROR_ACCESS_DENIED).
    LONG deleteKey(const KeyRef& base, std::string_view path, bool withSubtree);
    LONG setSecurity(const KeyRef& key, SECURITY_INFORMATION info, const void* sd);

    // A batch makes the writes of this thread up to endBatch one transaction: all of them
    // land or none does. Only the write functions above may be called inside it.
    LONG beginBatch();
    LONG endBatch(bool commit);
    // Whether this thread is inside a batch: reads through the cache would not see its
    // uncommitted writes.
    bool batchOnThisThread() const { return m_batchThread.load() == std::this_thread::get_id(); }

private:
    class WriteScope;

    RegistryStore() = default;
    LONG ensureOpen();
    LONG prepareRead();
    LONG fail(int rc, const RegistryDatabase& db);
    LONG readKey(const KeyRef& key, DWORD needed, CachedKey*& out);
    int keyRow(std::int64_t id, bool& exists, std::string& sd);
    int findChild(std::int64_t parent, std::string_view name, std::int64_t& id, std::string& sd);
    int insertKey(std::int64_t parent, std::string_view name, const std::string& sd,
                  std::int64_t& id);
    int touch(std::int64_t id);
    int collectSubtree(std::int64_t id, std::vector<std::pair<std::int64_t, std::string>>& out);
    LONG resolveForWrite(const KeyRef& base, std::string_view path, std::int64_t& id,
                         std::string& sd);

    std::recursive_mutex m_writeMutex; // guards m_writeDb and m_batchDepth
    RegistryDatabase m_writeDb;
    int m_batchDepth = 0;
    std::atomic<std::thread::id> m_batchThread{};

    std::mutex m_cacheMutex; // guards m_readDb, m_cache and m_cacheAt
    RegistryDatabase m_readDb;
    RegistryCache m_cache{m_readDb};
    std::uint64_t m_cacheAt = ~std::uint64_t{0};

    std::mutex m_openMutex; // guards opening and closing the connections and the counter
    std::atomic<bool> m_ready{false};
    std::atomic<std::uint64_t> m_generation{0};
    RegistryCounter m_counter;

    std::mutex m_errorMutex; // guards m_error
    std::string m_error;
};

// Splits a key path at backslashes; empty parts (a trailing backslash) are skipped.
bool nextKeyPart(std::string_view& rest, std::string_view& part);
// ERROR_SUCCESS, or why the path cannot name a key.
LONG checkKeyPath(std::string_view path);
// Win32 rights asked for, as granted to a handle: generic rights mapped, MAXIMUM_ALLOWED
// widened to what the descriptor grants. ERROR_ACCESS_DENIED when something is missing.
LONG grantAccess(DWORD granted, REGSAM requested, DWORD& handleAccess);

} // namespace platform::detail
