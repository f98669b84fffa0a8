// The registry store: reads through the cache, writes in transactions.

#include "RegistryStore.h"

#include "RegistrySecurity.h"
#include "RegistryStatement.h"

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <chrono>
#include <cstring>

namespace platform::detail {

namespace {

constexpr LONG kBadPathname = 161;       // ERROR_BAD_PATHNAME
constexpr LONG kPrivilegeNotHeld = 1314; // ERROR_PRIVILEGE_NOT_HELD
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::int64_t kFiletimeUnixEpoch = 116444736000000000LL;

constexpr const char* kKeySd = "SELECT sd FROM keys WHERE id = ?";
constexpr const char* kFindChild = "SELECT id, sd FROM keys WHERE parent = ? AND fold = ?";
constexpr const char* kInsertKey =
    "INSERT INTO keys(parent, name, fold, sd, modified) VALUES(?, ?, ?, ?, ?)";
constexpr const char* kTouchKey = "UPDATE keys SET modified = ? WHERE id = ?";
constexpr const char* kSetSd = "UPDATE keys SET sd = ? WHERE id = ?";
constexpr const char* kSubtree = "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
                                 "SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
                                 "SELECT keys.id, keys.sd FROM sub JOIN keys ON keys.id = sub.id";
constexpr const char* kDeleteValues = "DELETE FROM vals WHERE key = ?";
constexpr const char* kDeleteKey = "DELETE FROM keys WHERE id = ?";
constexpr const char* kUpsertValue =
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM vals WHERE key = ? AND fold = ?";

std::int64_t nowAsFiletime()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100 +
           kFiletimeUnixEpoch;
}

FILETIME toFiletime(std::int64_t value)
{
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

bool stepOk(int rc)
{
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

// Copies a name with its zero into a buffer of *length characters (Win32's enumeration
// rule: the zero must fit; on success *length is the name's length without it).
LONG copyName(const std::string& name, LPSTR out, LPDWORD length)
{
    if (out == nullptr || length == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (name.size() + 1 > *length) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Win32's data rule: no buffer asks for the size; a short buffer gets ERROR_MORE_DATA and
// the size needed.
LONG copyData(const std::string& bytes, LPBYTE out, LPDWORD size)
{
    if (out != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    LONG rc = ERROR_SUCCESS;
    if (out != nullptr) {
        if (*size < bytes.size()) {
            rc = ERROR_MORE_DATA;
        } else {
            std::memcpy(out, bytes.data(), bytes.size());
        }
    }
    if (size != nullptr) {
        *size = static_cast<DWORD>(bytes.size());
    }
    return rc;
}

} // namespace

bool nextKeyPart(std::string_view& rest, std::string_view& part)
{
    while (!rest.empty()) {
        const std::size_t slash = rest.find('\\');
        part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (!part.empty()) {
            return true;
        }
    }
    return false;
}

LONG checkKeyPath(std::string_view path)
{
    if (!path.empty() && path.front() == '\\') {
        return kBadPathname;
    }
    std::string_view part;
    while (nextKeyPart(path, part)) {
        if (part.size() > kMaxKeyNameLength) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    return ERROR_SUCCESS;
}

LONG grantAccess(DWORD granted, REGSAM requested, DWORD& handleAccess)
{
    constexpr DWORD wow64Flags = 0x0300;
    const DWORD wanted = mapGenericKeyRights(requested) & ~(kMaximumAllowed | wow64Flags);
    if ((wanted & ~granted) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    if ((requested & kMaximumAllowed) != 0) {
        if (granted == 0) {
            return ERROR_ACCESS_DENIED;
        }
        handleAccess = granted | wanted;
    } else {
        handleAccess = wanted;
    }
    return ERROR_SUCCESS;
}

// One write: begins an immediate transaction (unless a batch holds one), rolls it back
// unless committed, and bumps the change counter after a commit.
class RegistryStore::WriteScope {
public:
    explicit WriteScope(RegistryStore& store) : m_store(store), m_lock(store.m_writeMutex)
    {
        m_rc = store.ensureOpen();
        if (m_rc == ERROR_SUCCESS && store.m_batchDepth == 0) {
            const int rc = store.m_writeDb.exec("BEGIN IMMEDIATE");
            m_rc = rc == SQLITE_OK ? ERROR_SUCCESS : store.fail(rc, store.m_writeDb);
            m_open = m_rc == ERROR_SUCCESS;
        }
    }
    ~WriteScope()
    {
        if (m_open) {
            m_store.m_writeDb.exec("ROLLBACK");
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    LONG rc() const { return m_rc; }
    LONG commit()
    {
        if (!m_open) {
            return ERROR_SUCCESS;
        }
        const int rc = m_store.m_writeDb.exec("COMMIT");
        if (rc != SQLITE_OK) {
            return m_store.fail(rc, m_store.m_writeDb);
        }
        m_open = false;
        m_store.m_counter.bump();
        return ERROR_SUCCESS;
    }

private:
    RegistryStore& m_store;
    std::lock_guard<std::recursive_mutex> m_lock;
    LONG m_rc = ERROR_SUCCESS;
    bool m_open = false;
};

RegistryStore& RegistryStore::instance()
{
    static RegistryStore* store = new RegistryStore(); // never destroyed: used until exit
    return *store;
}

void RegistryStore::reset()
{
    std::lock_guard writeLock(m_writeMutex);
    std::lock_guard cacheLock(m_cacheMutex);
    std::lock_guard openLock(m_openMutex);
    m_writeDb.close();
    m_readDb.close();
    m_counter.close();
    m_cache.clear();
    m_cacheAt = ~std::uint64_t{0};
    m_ready = false;
    m_generation.fetch_add(1, std::memory_order_acq_rel);
    std::lock_guard errorLock(m_errorMutex);
    m_error.clear();
}

std::string RegistryStore::storeError()
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

std::uint64_t RegistryStore::changeCounter()
{
    return ensureOpen() == ERROR_SUCCESS ? m_counter.value() : 0;
}

bool RegistryStore::openCounter(std::uint64_t& counter)
{
    if (ensureOpen() != ERROR_SUCCESS) {
        return false;
    }
    counter = m_counter.value();
    return true;
}

LONG RegistryStore::ensureOpen()
{
    if (m_ready.load(std::memory_order_acquire)) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(m_openMutex);
    if (m_ready.load(std::memory_order_relaxed)) {
        return ERROR_SUCCESS;
    }
    const std::filesystem::path folder = platform::prefix();
    std::string error;
    LONG rc = m_writeDb.open(folder / "registry.db", true, error);
    if (rc == ERROR_SUCCESS) {
        rc = m_readDb.open(folder / "registry.db", false, error);
    }
    std::lock_guard errorLock(m_errorMutex);
    if (rc != ERROR_SUCCESS) {
        m_writeDb.close();
        m_error = error;
        return rc;
    }
    std::string counterError;
    if (!m_counter.open(folder / "registry.shm", counterError)) {
        // Still correct without it, only slower: every read goes to the database.
        OutputDebugString(("registry: " + counterError + "\n").c_str());
    }
    m_error.clear();
    m_ready.store(true, std::memory_order_release);
    return ERROR_SUCCESS;
}

LONG RegistryStore::prepareRead()
{
    const LONG rc = ensureOpen();
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    // Read the counter before anything is loaded: a commit after this point moves it
    // again, so nothing stale outlives the next read.
    const std::uint64_t now = m_counter.value();
    if (now != m_cacheAt) {
        m_cache.clear();
        m_cacheAt = now;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::fail(int rc, const RegistryDatabase& db)
{
    if (RegistryDatabase::isStoreFailure(rc)) {
        std::lock_guard lock(m_errorMutex);
        m_error = db.describe(rc);
    }
    return RegistryDatabase::toWin32(rc);
}

LONG RegistryStore::readKey(const KeyRef& key, DWORD needed, CachedKey*& out)
{
    if ((key.access & needed) != needed) {
        return ERROR_ACCESS_DENIED;
    }
    if (const LONG rc = prepareRead(); rc != ERROR_SUCCESS) {
        return rc;
    }
    out = m_cache.key(key.id);
    if (out == nullptr) {
        return fail(m_cache.rc(), m_readDb);
    }
    return out->exists ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG RegistryStore::openKey(const KeyRef& base, std::string_view path, REGSAM access, KeyRef& out)
{
    if (const LONG rc = checkKeyPath(path); rc != ERROR_SUCCESS) {
        return rc;
    }
    std::lock_guard lock(m_cacheMutex);
    CachedKey* key = nullptr;
    if (const LONG rc = readKey(KeyRef{base.id, kAllRights}, 0, key); rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string_view part;
    while (nextKeyPart(path, part)) {
        const std::int64_t id = m_cache.child(*key, part);
        if (id < 0) {
            return fail(m_cache.rc(), m_readDb);
        }
        key = id == 0 ? nullptr : m_cache.key(id);
        if (key == nullptr || !key->exists) {
            return id != 0 && key == nullptr ? fail(m_cache.rc(), m_readDb) : ERROR_FILE_NOT_FOUND;
        }
    }
    out.id = key->id;
    return grantAccess(key->granted, access, out.access);
}

LONG RegistryStore::queryValue(const KeyRef& key, std::string_view name, LPDWORD type, LPBYTE data,
                               LPDWORD size)
{
    if (data != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, KEY_QUERY_VALUE, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    const CachedValue* value = m_cache.value(*cached, name);
    if (value == nullptr) {
        return m_cache.rc() != 0 ? fail(m_cache.rc(), m_readDb) : ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    return copyData(value->data, data, size);
}

LONG RegistryStore::enumValue(const KeyRef& key, DWORD index, LPSTR name, LPDWORD nameLength,
                              LPDWORD type, LPBYTE data, LPDWORD size)
{
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, KEY_QUERY_VALUE, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (!m_cache.loadValues(*cached)) {
        return fail(m_cache.rc(), m_readDb);
    }
    if (index >= cached->values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const CachedValue& value = cached->values[index];
    if (const LONG rc = copyName(value.name, name, nameLength); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (type != nullptr) {
        *type = value.type;
    }
    return copyData(value.data, data, size);
}

LONG RegistryStore::enumKey(const KeyRef& key, DWORD index, LPSTR name, LPDWORD nameLength,
                            PFILETIME lastWrite)
{
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, KEY_ENUMERATE_SUB_KEYS, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (!m_cache.loadChildren(*cached)) {
        return fail(m_cache.rc(), m_readDb);
    }
    if (index >= cached->children.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const CachedChild child = cached->children[index];
    if (const LONG rc = copyName(child.name, name, nameLength); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (lastWrite != nullptr) {
        const CachedKey* sub = m_cache.key(child.id);
        *lastWrite = toFiletime(sub != nullptr ? sub->modified : 0);
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::queryInfo(const KeyRef& key, KeyInfo& info)
{
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, KEY_QUERY_VALUE, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (!m_cache.loadChildren(*cached) || !m_cache.loadValues(*cached)) {
        return fail(m_cache.rc(), m_readDb);
    }
    info = KeyInfo{};
    info.subKeys = static_cast<DWORD>(cached->children.size());
    for (const CachedChild& child : cached->children) {
        info.maxSubKeyLength = std::max(info.maxSubKeyLength, DWORD(child.name.size()));
    }
    info.values = static_cast<DWORD>(cached->values.size());
    for (const CachedValue& value : cached->values) {
        info.maxValueNameLength = std::max(info.maxValueNameLength, DWORD(value.name.size()));
        info.maxValueLength = std::max(info.maxValueLength, DWORD(value.data.size()));
    }
    const SECURITY_INFORMATION all =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    info.securityLength = static_cast<DWORD>(descriptorForQuery(cached->sd, all).size());
    info.lastWrite = toFiletime(cached->modified);
    return ERROR_SUCCESS;
}

LONG RegistryStore::getSecurity(const KeyRef& key, SECURITY_INFORMATION info,
                                std::string& descriptor)
{
    if ((info & SACL_SECURITY_INFORMATION) != 0) {
        return kPrivilegeNotHeld;
    }
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, READ_CONTROL, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    descriptor = descriptorForQuery(cached->sd, info);
    return ERROR_SUCCESS;
}

LONG RegistryStore::keyName(const KeyRef& key, std::string& name)
{
    std::lock_guard lock(m_cacheMutex);
    CachedKey* cached = nullptr;
    if (const LONG rc = readKey(key, 0, cached); rc != ERROR_SUCCESS) {
        return rc;
    }
    name = cached->name;
    return ERROR_SUCCESS;
}

// --- writes ---------------------------------------------------------------------------

int RegistryStore::keyRow(std::int64_t id, bool& exists, std::string& sd)
{
    RegistryStatement row(m_writeDb.prepare(kKeySd));
    row.bind(1, id);
    const int rc = row.step();
    exists = rc == SQLITE_ROW;
    sd = exists ? row.bytes(0) : std::string();
    return stepOk(rc) ? SQLITE_OK : rc;
}

int RegistryStore::findChild(std::int64_t parent, std::string_view name, std::int64_t& id,
                             std::string& sd)
{
    RegistryStatement row(m_writeDb.prepare(kFindChild));
    row.bind(1, parent).bindText(2, foldName(name));
    const int rc = row.step();
    id = rc == SQLITE_ROW ? row.integer(0) : 0;
    sd = rc == SQLITE_ROW ? row.bytes(1) : std::string();
    return stepOk(rc) ? SQLITE_OK : rc;
}

int RegistryStore::insertKey(std::int64_t parent, std::string_view name, const std::string& sd,
                             std::int64_t& id)
{
    RegistryStatement insert(m_writeDb.prepare(kInsertKey));
    insert.bind(1, parent).bindText(2, name).bindText(3, foldName(name));
    insert.bindBlob(4, sd, true).bind(5, nowAsFiletime());
    const int rc = insert.step();
    id = m_writeDb.lastInsertId();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int RegistryStore::touch(std::int64_t id)
{
    RegistryStatement update(m_writeDb.prepare(kTouchKey));
    update.bind(1, nowAsFiletime()).bind(2, id);
    const int rc = update.step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int RegistryStore::collectSubtree(std::int64_t id,
                                  std::vector<std::pair<std::int64_t, std::string>>& out)
{
    RegistryStatement rows(m_writeDb.prepare(kSubtree));
    rows.bind(1, id);
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        out.emplace_back(rows.integer(0), rows.bytes(1));
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Follows the path on the write connection (inside the transaction): the key's id and
// descriptor, ERROR_KEY_DELETED for a vanished base, ERROR_FILE_NOT_FOUND for a missing part.
LONG RegistryStore::resolveForWrite(const KeyRef& base, std::string_view path, std::int64_t& id,
                                    std::string& sd)
{
    bool exists = false;
    if (const int rc = keyRow(base.id, exists, sd); rc != SQLITE_OK) {
        return fail(rc, m_writeDb);
    }
    if (!exists) {
        return ERROR_KEY_DELETED;
    }
    id = base.id;
    std::string_view part;
    while (nextKeyPart(path, part)) {
        if (const int rc = findChild(id, part, id, sd); rc != SQLITE_OK) {
            return fail(rc, m_writeDb);
        }
        if (id == 0) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::createKey(const KeyRef& base, std::string_view path, REGSAM access,
                              const void* sd, KeyRef& out, DWORD* disposition)
{
    if (const LONG rc = checkKeyPath(path); rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string given;
    if (sd != nullptr) {
        if (!IsValidSecurityDescriptor(const_cast<void*>(sd))) {
            return ERROR_INVALID_SECURITY_DESCR;
        }
        given = toSelfRelative(sd);
    }
    WriteScope scope(*this);
    std::int64_t id = base.id;
    std::string parentSd;
    if (const LONG rc =
            scope.rc() != ERROR_SUCCESS ? scope.rc() : resolveForWrite(base, {}, id, parentSd);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    bool created = false;
    std::string_view part;
    while (nextKeyPart(path, part)) {
        std::int64_t child = 0;
        std::string childSd;
        if (const int rc = findChild(id, part, child, childSd); rc != SQLITE_OK) {
            return fail(rc, m_writeDb);
        }
        if (child == 0) {
            if (!created && ((base.access & KEY_CREATE_SUB_KEY) == 0 ||
                             (grantedAccess(parentSd) & KEY_CREATE_SUB_KEY) == 0)) {
                return ERROR_ACCESS_DENIED;
            }
            std::string_view after = path;
            std::string_view next;
            const bool last = !nextKeyPart(after, next);
            childSd = last && !given.empty() ? given : inheritedDescriptor(parentSd);
            if (const int rc = insertKey(id, part, childSd, child); rc != SQLITE_OK) {
                return fail(rc, m_writeDb);
            }
            created = true;
        }
        id = child;
        parentSd = std::move(childSd);
    }
    out.id = id;
    if (const LONG rc = grantAccess(grantedAccess(parentSd), access, out.access);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    if (created) {
        if (const LONG rc = scope.commit(); rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::setValue(const KeyRef& key, std::string_view name, DWORD type,
                             std::string_view data)
{
    constexpr std::size_t maxValueName = 16383;
    if ((key.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (name.size() > maxValueName) {
        return ERROR_INVALID_PARAMETER;
    }
    WriteScope scope(*this);
    std::int64_t id = 0;
    std::string sd;
    if (const LONG rc = scope.rc() != ERROR_SUCCESS ? scope.rc() : resolveForWrite(key, {}, id, sd);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    RegistryStatement upsert(m_writeDb.prepare(kUpsertValue));
    upsert.bind(1, id).bindText(2, name).bindText(3, foldName(name));
    upsert.bind(4, type).bindBlob(5, data);
    int rc = upsert.step();
    if (rc == SQLITE_DONE) {
        rc = touch(id);
    }
    return rc == SQLITE_OK || rc == SQLITE_DONE ? scope.commit() : fail(rc, m_writeDb);
}

LONG RegistryStore::deleteValue(const KeyRef& key, std::string_view name)
{
    if ((key.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    WriteScope scope(*this);
    std::int64_t id = 0;
    std::string sd;
    if (const LONG rc = scope.rc() != ERROR_SUCCESS ? scope.rc() : resolveForWrite(key, {}, id, sd);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    RegistryStatement remove(m_writeDb.prepare(kDeleteValue));
    remove.bind(1, id).bindText(2, foldName(name));
    int rc = remove.step();
    if (rc != SQLITE_DONE) {
        return fail(rc, m_writeDb);
    }
    if (sqlite3_changes(m_writeDb.handle()) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    rc = touch(id);
    return rc == SQLITE_OK ? scope.commit() : fail(rc, m_writeDb);
}

LONG RegistryStore::deleteKey(const KeyRef& base, std::string_view path, bool withSubtree)
{
    if (const LONG rc = checkKeyPath(path); rc != ERROR_SUCCESS) {
        return rc;
    }
    WriteScope scope(*this);
    std::int64_t id = 0;
    std::string sd;
    if (const LONG rc =
            scope.rc() != ERROR_SUCCESS ? scope.rc() : resolveForWrite(base, path, id, sd);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    std::string_view rest = path;
    std::string_view part;
    const bool itself = !nextKeyPart(rest, part);
    if (id <= kUsersId || (itself && (base.access & DELETE) == 0)) {
        return ERROR_ACCESS_DENIED;
    }
    std::vector<std::pair<std::int64_t, std::string>> subtree;
    if (const int rc = collectSubtree(id, subtree); rc != SQLITE_OK) {
        return fail(rc, m_writeDb);
    }
    if (!withSubtree && subtree.size() > 1) {
        return ERROR_ACCESS_DENIED; // NT refuses to delete a key that has subkeys
    }
    for (const auto& [key, keySd] : subtree) {
        if ((grantedAccess(keySd) & DELETE) == 0) {
            return ERROR_ACCESS_DENIED; // nothing is deleted unless everything can be
        }
    }
    for (const auto& [key, keySd] : subtree) {
        RegistryStatement values(m_writeDb.prepare(kDeleteValues));
        RegistryStatement row(m_writeDb.prepare(kDeleteKey));
        int rc = values.bind(1, key).step();
        if (rc == SQLITE_DONE) {
            rc = row.bind(1, key).step();
        }
        if (rc != SQLITE_DONE) {
            return fail(rc, m_writeDb);
        }
    }
    return scope.commit();
}

LONG RegistryStore::setSecurity(const KeyRef& key, SECURITY_INFORMATION info, const void* sd)
{
    if (sd == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!IsValidSecurityDescriptor(const_cast<void*>(sd))) {
        return ERROR_INVALID_SECURITY_DESCR;
    }
    if ((info & SACL_SECURITY_INFORMATION) != 0) {
        return kPrivilegeNotHeld;
    }
    DWORD needed = (info & DACL_SECURITY_INFORMATION) != 0 ? WRITE_DAC : 0;
    if ((info & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION)) != 0) {
        needed |= WRITE_OWNER;
    }
    if ((key.access & needed) != needed) {
        return ERROR_ACCESS_DENIED;
    }
    WriteScope scope(*this);
    std::int64_t id = 0;
    std::string stored;
    if (const LONG rc =
            scope.rc() != ERROR_SUCCESS ? scope.rc() : resolveForWrite(key, {}, id, stored);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    RegistryStatement update(m_writeDb.prepare(kSetSd));
    update.bindBlob(1, mergeDescriptor(stored, info, sd)).bind(2, id);
    const int rc = update.step();
    return rc == SQLITE_DONE ? scope.commit() : fail(rc, m_writeDb);
}

LONG RegistryStore::beginBatch()
{
    m_writeMutex.lock();
    LONG rc = ensureOpen();
    if (rc == ERROR_SUCCESS && m_batchDepth == 0) {
        const int begun = m_writeDb.exec("BEGIN IMMEDIATE");
        rc = begun == SQLITE_OK ? ERROR_SUCCESS : fail(begun, m_writeDb);
    }
    if (rc != ERROR_SUCCESS) {
        m_writeMutex.unlock();
        return rc;
    }
    ++m_batchDepth;
    m_batchThread = std::this_thread::get_id();
    return ERROR_SUCCESS;
}

LONG RegistryStore::endBatch(bool commit)
{
    LONG rc = ERROR_SUCCESS;
    if (--m_batchDepth == 0) {
        m_batchThread = std::thread::id{};
        const int ended = m_writeDb.exec(commit ? "COMMIT" : "ROLLBACK");
        if (ended != SQLITE_OK) {
            rc = fail(ended, m_writeDb);
            m_writeDb.exec("ROLLBACK");
        } else if (commit) {
            m_counter.bump();
        }
    }
    m_writeMutex.unlock();
    return rc;
}

} // namespace platform::detail
