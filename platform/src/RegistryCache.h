#pragma once
// The in-process copy of the keys and values read so far. It is filled lazily from the
// read connection, one key's row, one key's subkey list and one key's value list at a
// time, and dropped whole when the change counter moves. Not locked: the store calls it
// under its cache lock.

#include "RegistryDatabase.h"

#include <platform/WinTypes.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::detail {

struct CachedValue {
    std::string name;
    DWORD type = 0;
    std::string data;
};

struct CachedChild {
    std::int64_t id = 0;
    std::string name;
};

struct CachedKey {
    std::int64_t id = 0;
    bool exists = false;
    std::int64_t parent = 0;
    std::string name;
    std::string sd; // self-relative, empty: none
    DWORD granted = 0;
    std::int64_t modified = 0;
    bool childrenLoaded = false;
    std::vector<CachedChild> children; // creation order
    std::unordered_map<std::string, std::size_t> childIndex;
    bool valuesLoaded = false;
    std::vector<CachedValue> values; // creation order
    std::unordered_map<std::string, std::size_t> valueIndex;
};

// ASCII lower case: how key and value names are matched.
std::string foldName(std::string_view name);
void foldInto(std::string& out, std::string_view name);

class RegistryCache {
public:
    explicit RegistryCache(RegistryDatabase& db) : m_db(db) {}

    void clear() { m_keys.clear(); }
    // The key's entry (exists == false when it is gone), or null on a database failure
    // (rc() then tells which).
    CachedKey* key(std::int64_t id);
    // The id of the named subkey, 0 when there is none, -1 on a database failure.
    std::int64_t child(CachedKey& key, std::string_view name);
    // The named value, or null (check rc() for a database failure).
    const CachedValue* value(CachedKey& key, std::string_view name);
    bool loadChildren(CachedKey& key);
    bool loadValues(CachedKey& key);
    int rc() const { return m_rc; }

private:
    RegistryDatabase& m_db;
    std::unordered_map<std::int64_t, CachedKey> m_keys;
    std::string m_scratch; // folded lookup names, kept to reuse its storage
    int m_rc = 0;
};

} // namespace platform::detail
