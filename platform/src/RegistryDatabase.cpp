// The SQLite connection behind the registry store.

#include "RegistryDatabase.h"

namespace platform::detail {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    sd BLOB,
    modified INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX IF NOT EXISTS keys_child ON keys(parent, fold);
CREATE TABLE IF NOT EXISTS vals(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS vals_name ON vals(key, fold);
)";

// The three stored roots and HKLM\Software\Classes, which HKEY_CLASSES_ROOT shows.
constexpr const char* kSeed = R"(
INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES
    (1, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),
    (2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'),
    (3, 0, 'HKEY_USERS', 'hkey_users'),
    (4, 1, 'Software', 'software'),
    (5, 4, 'Classes', 'classes');
)";

} // namespace

RegistryDatabase::~RegistryDatabase()
{
    close();
}

LONG RegistryDatabase::open(const std::filesystem::path& path, bool withSchema, std::string& error)
{
    close();
    m_path = path;
    // Never through a symbolic link: the layer keeps to the prefix.
    constexpr int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        rc = exec("PRAGMA journal_mode=WAL");
    }
    if (rc == SQLITE_OK) {
        rc = exec("PRAGMA synchronous=NORMAL");
    }
    if (rc == SQLITE_OK) {
        rc = withSchema ? createSchema() : exec("SELECT count(*) FROM sqlite_master");
    }
    if (rc != SQLITE_OK) {
        error = describe(rc);
        close();
        return toWin32(rc);
    }
    return ERROR_SUCCESS;
}

int RegistryDatabase::createSchema()
{
    sqlite3_stmt* version = prepare("PRAGMA user_version");
    if (version == nullptr) {
        return sqlite3_errcode(m_db);
    }
    int rc = sqlite3_step(version);
    const int found = rc == SQLITE_ROW ? sqlite3_column_int(version, 0) : -1;
    sqlite3_reset(version);
    if (rc != SQLITE_ROW) {
        return rc;
    }
    if (found == kSchemaVersion) {
        return SQLITE_OK;
    }
    if (found > kSchemaVersion) {
        return SQLITE_NOTADB; // written by a newer layout: never touch it
    }
    rc = exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        return rc;
    }
    rc = exec(kSchema);
    if (rc == SQLITE_OK) {
        rc = exec(kSeed);
    }
    if (rc == SQLITE_OK) {
        rc = exec("PRAGMA user_version=1");
    }
    if (rc == SQLITE_OK) {
        return exec("COMMIT");
    }
    exec("ROLLBACK");
    return rc;
}

void RegistryDatabase::close()
{
    for (auto& [sql, statement] : m_statements) {
        sqlite3_finalize(statement);
    }
    m_statements.clear();
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3_stmt* RegistryDatabase::prepare(const char* sql)
{
    if (m_db == nullptr) {
        return nullptr;
    }
    if (auto it = m_statements.find(sql); it != m_statements.end()) {
        return it->second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        return nullptr;
    }
    m_statements.emplace(sql, statement);
    return statement;
}

int RegistryDatabase::exec(const char* sql)
{
    return m_db == nullptr ? SQLITE_MISUSE : sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

std::string RegistryDatabase::describe(int rc) const
{
    std::string reason = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) {
        reason = sqlite3_errstr(rc);
    }
    return "The registry database " + m_path.string() + " cannot be used (" + reason +
           "). It has been left as it is: move it away to start with an empty registry.";
}

LONG RegistryDatabase::toWin32(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_CORRUPT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_CANTWRITE;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_IOERR:
        return ERROR_CANTREAD;
    default:
        return ERROR_BADDB;
    }
}

bool RegistryDatabase::isStoreFailure(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
        return true;
    default:
        return false;
    }
}

} // namespace platform::detail
