// The registry's in-process cache.

#include "RegistryCache.h"

#include "RegistrySecurity.h"
#include "RegistryStatement.h"

#include <platform/Text.h>

#include <algorithm>

namespace platform::detail {

namespace {
constexpr const char* kKeyRow = "SELECT parent, name, sd, modified FROM keys WHERE id = ?";
constexpr const char* kChildRows = "SELECT id, name FROM keys WHERE parent = ? ORDER BY id";
constexpr const char* kValueRows = "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id";
} // namespace

std::string foldName(std::string_view name)
{
    std::string out;
    foldInto(out, name);
    return out;
}

void foldInto(std::string& out, std::string_view name)
{
    // Reuses out's storage: this runs on every registry read.
    out.assign(name);
    std::transform(out.begin(), out.end(), out.begin(), text::lowerChar);
}

CachedKey* RegistryCache::key(std::int64_t id)
{
    if (auto it = m_keys.find(id); it != m_keys.end()) {
        return &it->second;
    }
    RegistryStatement row(m_db.prepare(kKeyRow));
    row.bind(1, id);
    const int rc = row.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        m_rc = rc;
        return nullptr;
    }
    CachedKey entry;
    entry.id = id;
    if (rc == SQLITE_ROW) {
        entry.exists = true;
        entry.parent = row.integer(0);
        entry.name = row.bytes(1);
        entry.sd = row.bytes(2);
        entry.modified = row.integer(3);
        entry.granted = grantedAccess(entry.sd);
    }
    return &m_keys.emplace(id, std::move(entry)).first->second;
}

bool RegistryCache::loadChildren(CachedKey& key)
{
    if (key.childrenLoaded) {
        return true;
    }
    RegistryStatement rows(m_db.prepare(kChildRows));
    rows.bind(1, key.id);
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        key.childIndex.emplace(foldName(rows.bytes(1)), key.children.size());
        key.children.push_back(CachedChild{rows.integer(0), rows.bytes(1)});
    }
    if (rc != SQLITE_DONE) {
        m_rc = rc;
        key.children.clear();
        key.childIndex.clear();
        return false;
    }
    key.childrenLoaded = true;
    return true;
}

bool RegistryCache::loadValues(CachedKey& key)
{
    if (key.valuesLoaded) {
        return true;
    }
    RegistryStatement rows(m_db.prepare(kValueRows));
    rows.bind(1, key.id);
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        key.valueIndex.emplace(foldName(rows.bytes(0)), key.values.size());
        key.values.push_back(
            CachedValue{rows.bytes(0), static_cast<DWORD>(rows.integer(1)), rows.bytes(2)});
    }
    if (rc != SQLITE_DONE) {
        m_rc = rc;
        key.values.clear();
        key.valueIndex.clear();
        return false;
    }
    key.valuesLoaded = true;
    return true;
}

std::int64_t RegistryCache::child(CachedKey& key, std::string_view name)
{
    if (!loadChildren(key)) {
        return -1;
    }
    m_rc = 0;
    foldInto(m_scratch, name);
    auto it = key.childIndex.find(m_scratch);
    return it == key.childIndex.end() ? 0 : key.children[it->second].id;
}

const CachedValue* RegistryCache::value(CachedKey& key, std::string_view name)
{
    if (!loadValues(key)) {
        return nullptr;
    }
    m_rc = 0;
    foldInto(m_scratch, name);
    auto it = key.valueIndex.find(m_scratch);
    return it == key.valueIndex.end() ? nullptr : &key.values[it->second];
}

} // namespace platform::detail
