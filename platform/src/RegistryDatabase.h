#pragma once
// One SQLite connection to registry.db: opened in WAL mode with a busy timeout, the
// schema created on first use, prepared statements kept for the connection's life.
//
// Schema: keys(id, parent, name, fold, sd, modified) with ids never reused, so that a
// handle to a deleted key can never reach a newer key; vals(id, key, name, fold, type,
// data) where id gives the creation order. fold is the name in ASCII lower case.

#include <platform/WinTypes.h>

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <unordered_map>

namespace platform::detail {

class RegistryDatabase {
public:
    RegistryDatabase() = default;
    ~RegistryDatabase();
    RegistryDatabase(const RegistryDatabase&) = delete;
    RegistryDatabase& operator=(const RegistryDatabase&) = delete;

    // ERROR_SUCCESS, or a registry error code with the reason in error.
    LONG open(const std::filesystem::path& path, bool createSchema, std::string& error);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The statement for this SQL text (kept by address: pass string literals), or null.
    sqlite3_stmt* prepare(const char* sql);
    int exec(const char* sql);
    sqlite3* handle() const { return m_db; }
    std::int64_t lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }
    // The reason for the last failure of this connection, with the file's path.
    std::string describe(int rc) const;

    static LONG toWin32(int rc);
    // Whether the failure means the file itself cannot be used (not a transient one).
    static bool isStoreFailure(int rc);

private:
    int createSchema();

    sqlite3* m_db = nullptr;
    std::filesystem::path m_path;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
};

} // namespace platform::detail
