#pragma once
// One use of a prepared statement of the registry database: binds, steps and reads
// columns, and resets the statement when the use ends so that no read snapshot is held.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::detail {

class RegistryStatement {
public:
    explicit RegistryStatement(sqlite3_stmt* statement) : m_statement(statement) {}
    ~RegistryStatement()
    {
        if (m_statement != nullptr) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        }
    }
    RegistryStatement(const RegistryStatement&) = delete;
    RegistryStatement& operator=(const RegistryStatement&) = delete;

    bool valid() const { return m_statement != nullptr; }
    RegistryStatement& bind(int index, std::int64_t value)
    {
        if (m_statement != nullptr) {
            sqlite3_bind_int64(m_statement, index, value);
        }
        return *this;
    }
    RegistryStatement& bindText(int index, std::string_view text)
    {
        if (m_statement != nullptr) {
            sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    // An empty view binds NULL when nullIfEmpty is set (a key without a descriptor).
    RegistryStatement& bindBlob(int index, std::string_view bytes, bool nullIfEmpty = false)
    {
        if (m_statement == nullptr) {
            return *this;
        }
        if (bytes.empty()) {
            if (nullIfEmpty) {
                sqlite3_bind_null(m_statement, index);
            } else {
                sqlite3_bind_zeroblob(m_statement, index, 0);
            }
        } else {
            sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_statement != nullptr ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string bytes(int column) const
    {
        const void* data = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), size);
    }

private:
    sqlite3_stmt* m_statement;
};

} // namespace platform::detail
