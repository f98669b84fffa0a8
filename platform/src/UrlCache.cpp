// The WinINet URL cache: an index in the prefix (urlcache.db) and the entries' content
// files in the profile, plus the cookie store's files listed as cookie entries.

#include "Handles.h"
#include "PathResolver.h"

#include <platform/Text.h>
#include <platform/WinInet.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <system_error>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

constexpr const char* kCookiePrefix = "Cookie:";
constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS entries ("
                                " url TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                                " type INTEGER NOT NULL,"
                                " local_file TEXT NOT NULL,"
                                " headers BLOB,"
                                " extension TEXT,"
                                " size INTEGER NOT NULL,"
                                " created INTEGER NOT NULL)";

struct Record {
    std::string url;
    DWORD type = NORMAL_CACHE_ENTRY;
    std::string localFile; // DOS path
    std::string headers;
    std::string extension;
    std::uint64_t size = 0;
    std::int64_t created = 0; // seconds since 1970
};

// One connection per process, reopened when the prefix changes (tests). sqlite3 in
// serialized mode; the mutex keeps statements of one call together.
std::mutex g_dbMutex;
sqlite3* g_db = nullptr;
HostPath g_dbPath;

sqlite3* database()
{
    const HostPath path = prefix() / "urlcache.db";
    if (g_db != nullptr && g_dbPath == path) {
        return g_db;
    }
    if (g_db != nullptr) {
        sqlite3_close_v2(g_db);
        g_db = nullptr;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    // A cache may lose its last changes to a power cut, never its consistency: no sync
    // per entry (the cleaner deletes entries one by one).
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    g_db = db;
    g_dbPath = path;
    return g_db;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (db != nullptr) {
            sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }
    void bind(int index, const std::string& text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    std::string text(int column) const
    {
        const void* data = sqlite3_column_blob(m_stmt, column);
        const int bytes = sqlite3_column_bytes(m_stmt, column);
        return data != nullptr ? std::string(static_cast<const char*>(data), bytes) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

std::vector<Record> indexRecords()
{
    std::vector<Record> out;
    std::lock_guard lock(g_dbMutex);
    Statement stmt(database(),
                   "SELECT url, type, local_file, headers, extension, size, created FROM entries"
                   " ORDER BY rowid");
    while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW) {
        Record r;
        r.url = stmt.text(0);
        r.type = static_cast<DWORD>(sqlite3_column_int64(stmt.get(), 1));
        r.localFile = stmt.text(2);
        r.headers = stmt.text(3);
        r.extension = stmt.text(4);
        r.size = static_cast<std::uint64_t>(sqlite3_column_int64(stmt.get(), 5));
        r.created = sqlite3_column_int64(stmt.get(), 6);
        out.push_back(std::move(r));
    }
    return out;
}

HostPath cookiesFolder()
{
    return profileFolder() / "Cookies";
}

// The cookie store's files ("<login>@<domain>.txt"), as cookie entries.
std::vector<Record> cookieFileRecords()
{
    std::vector<Record> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(cookiesFolder(), ec)) {
        const HostPath& file = entry.path();
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            text::lower(file.extension().string()) != ".txt" ||
            file.stem().string().find('@') == std::string::npos) {
            continue;
        }
        Record r;
        r.url = kCookiePrefix + file.stem().string() + "/";
        r.type = COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY;
        r.localFile = toDosPath(file).str();
        r.extension = "txt";
        r.size = static_cast<std::uint64_t>(st.st_size);
        r.created = st.st_mtime;
        out.push_back(std::move(r));
    }
    std::sort(out.begin(), out.end(),
              [](const Record& a, const Record& b) { return a.url < b.url; });
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && text::equalsNoCase(text.substr(0, start.size()), start);
}

bool matches(const Record& r, std::string_view pattern)
{
    if (pattern.empty() || pattern == "*.*" || pattern == "*") {
        return true;
    }
    if (text::equalsNoCase(pattern, "cookie:")) {
        return (r.type & COOKIE_CACHE_ENTRY) != 0;
    }
    if (text::equalsNoCase(pattern, "visited:")) {
        return (r.type & URLHISTORY_CACHE_ENTRY) != 0;
    }
    return startsWithNoCase(r.url, pattern);
}

std::vector<Record> snapshot(std::string_view pattern)
{
    std::vector<Record> all = indexRecords();
    for (Record& cookie : cookieFileRecords()) {
        const bool indexed = std::any_of(all.begin(), all.end(), [&](const Record& r) {
            return text::equalsNoCase(r.url, cookie.url) ||
                   text::equalsNoCase(r.localFile, cookie.localFile);
        });
        if (!indexed) {
            all.push_back(std::move(cookie));
        }
    }
    std::erase_if(all, [&](const Record& r) { return !matches(r, pattern); });
    return all;
}

FILETIME toFileTime(std::int64_t unixSeconds)
{
    // 100 ns ticks since 1601.
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

// Lays the record out in the caller's buffer; FALSE with ERROR_INSUFFICIENT_BUFFER and
// the size needed when it does not fit.
BOOL copyRecord(const Record& r, LPINTERNET_CACHE_ENTRY_INFO info, LPDWORD size)
{
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::size_t needed = sizeof(INTERNET_CACHE_ENTRY_INFO) + r.url.size() + 1 +
                               r.localFile.size() + 1 + r.headers.size() + 1 + r.extension.size() +
                               1;
    if (info == nullptr || *size < needed) {
        *size = static_cast<DWORD>(needed);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(info, 0, sizeof *info);
    char* text = reinterpret_cast<char*>(info + 1);
    auto place = [&text](const std::string& value) {
        char* start = text;
        std::memcpy(text, value.data(), value.size());
        text[value.size()] = '\0';
        text += value.size() + 1;
        return start;
    };
    info->dwStructSize = sizeof(INTERNET_CACHE_ENTRY_INFO);
    info->lpszSourceUrlName = place(r.url);
    info->lpszLocalFileName = place(r.localFile);
    info->lpHeaderInfo = place(r.headers);
    info->dwHeaderInfoSize = static_cast<DWORD>(r.headers.size());
    info->lpszFileExtension = place(r.extension);
    info->CacheEntryType = r.type;
    info->dwSizeLow = static_cast<DWORD>(r.size & 0xFFFFFFFF);
    info->dwSizeHigh = static_cast<DWORD>(r.size >> 32);
    info->LastModifiedTime = info->LastAccessTime = info->LastSyncTime = toFileTime(r.created);
    *size = static_cast<DWORD>(needed);
    return TRUE;
}

class UrlCacheFind : public detail::KernelObject {
public:
    explicit UrlCacheFind(std::vector<Record> records)
        : KernelObject(detail::HandleKind::Other), m_records(std::move(records))
    {}
    std::mutex m_mutex; // guards m_next
    std::vector<Record> m_records;
    std::size_t m_next = 1; // the first record went out with FindFirstUrlCacheEntry
};

std::shared_ptr<UrlCacheFind> lookupFind(HANDLE find)
{
    auto found = std::dynamic_pointer_cast<UrlCacheFind>(
        detail::lookupHandle(find, detail::HandleKind::Other));
    if (!found) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return found;
}

// Removes a local file of the cache: a file or a link, never a folder, and never
// through a link that leaves drive C:.
void removeLocalFile(const std::string& dosPath)
{
    if (dosPath.empty()) {
        return;
    }
    Result<HostPath> host = detail::resolveDosPath(dosPath, detail::LastLink::Keep);
    struct stat st {};
    if (host && ::lstat(host->c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        ::unlink(host->c_str());
    }
}

std::string sanitizedName(std::string_view url)
{
    std::string_view path = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = path.find_last_of('/');
    std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::string name;
    for (char c : last) {
        name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')
                    ? c
                    : '_';
    }
    return name.empty() || name == "." || name == ".." ? std::string("index") : name;
}

// Chooses the local file of a new entry: "<name>[n].<ext>" in one of four buckets of
// Temporary Internet Files\Content.IE5 (cookies: "<name>[n].txt" in the Cookies folder).
HostPath newLocalFile(const UrlCacheEntry& entry, std::string& extension)
{
    std::string name = sanitizedName(entry.url);
    extension = entry.fileExtension;
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) {
        if (extension.empty()) {
            extension = name.substr(dot + 1);
        }
        name.erase(dot);
    }
    HostPath folder;
    if ((entry.type & COOKIE_CACHE_ENTRY) != 0) {
        folder = cookiesFolder();
        extension = "txt";
    } else {
        static const char* const buckets[] = {"UMB0A1X2", "UMB3B4Y5", "UMB6C7Z8", "UMB9D0W1"};
        folder = profileFolder() / "Local Settings" / "Temporary Internet Files" / "Content.IE5" /
                 buckets[std::hash<std::string>{}(text::lower(entry.url)) % 4];
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (int n = 1;; ++n) {
        HostPath candidate = folder / (name + "[" + std::to_string(n) + "]" +
                                       (extension.empty() ? "" : "." + extension));
        if (!fs::exists(fs::symlink_status(candidate, ec))) {
            return candidate;
        }
    }
}

bool deleteIndexed(const std::string& url)
{
    std::string localFile;
    {
        std::lock_guard lock(g_dbMutex);
        sqlite3* db = database();
        Statement select(db, "SELECT local_file FROM entries WHERE url = ?1");
        if (!select) {
            return false;
        }
        select.bind(1, url);
        if (sqlite3_step(select.get()) != SQLITE_ROW) {
            return false;
        }
        localFile = select.text(0);
        Statement remove(db, "DELETE FROM entries WHERE url = ?1");
        remove.bind(1, url);
        if (sqlite3_step(remove.get()) != SQLITE_DONE) {
            return false;
        }
    }
    removeLocalFile(localFile);
    return true;
}

// "Cookie:<login>@<domain>/" -> the store's file, when it exists.
bool deleteCookieFile(std::string_view url)
{
    if (!startsWithNoCase(url, kCookiePrefix)) {
        return false;
    }
    std::string stem(url.substr(std::strlen(kCookiePrefix)));
    while (!stem.empty() && stem.back() == '/') {
        stem.pop_back();
    }
    if (stem.empty() || stem.find_first_of("/\\") != std::string::npos) {
        return false;
    }
    for (const Record& r : cookieFileRecords()) {
        if (text::equalsNoCase(r.url, std::string(kCookiePrefix) + stem + "/")) {
            removeLocalFile(r.localFile);
            return true;
        }
    }
    return false;
}

} // namespace

Result<DosPath> addUrlCacheEntry(const UrlCacheEntry& entry)
{
    if (entry.url.empty()) {
        return makeError(ERROR_INVALID_PARAMETER, "a cache entry needs a URL");
    }
    deleteIndexed(entry.url);
    std::string extension;
    const HostPath file = newLocalFile(entry, extension);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(entry.content.data(), static_cast<std::streamsize>(entry.content.size()));
        if (!out) {
            return makeError(ERROR_WRITE_FAULT, "cannot write " + file.string());
        }
    }
    const DosPath dos = toDosPath(file);
    std::lock_guard lock(g_dbMutex);
    Statement insert(database(), "INSERT OR REPLACE INTO entries"
                                 " (url, type, local_file, headers, extension, size, created)"
                                 " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!insert) {
        return makeError(ERROR_CANTWRITE, "the URL cache index cannot be opened");
    }
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    insert.bind(1, entry.url);
    insert.bind(2, static_cast<std::int64_t>(entry.type));
    insert.bind(3, dos.str());
    insert.bind(4, entry.headers);
    insert.bind(5, extension);
    insert.bind(6, static_cast<std::int64_t>(entry.content.size()));
    insert.bind(7, static_cast<std::int64_t>(now));
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
        return makeError(ERROR_CANTWRITE, "the URL cache index cannot be written");
    }
    return dos;
}

} // namespace platform

HANDLE FindFirstUrlCacheEntry(LPCSTR searchPattern, LPINTERNET_CACHE_ENTRY_INFO info,
                              LPDWORD size) noexcept
{
    try {
        std::vector<platform::Record> records =
            platform::snapshot(searchPattern != nullptr ? searchPattern : "");
        if (records.empty()) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return nullptr;
        }
        if (!platform::copyRecord(records.front(), info, size)) {
            return nullptr;
        }
        HANDLE handle = platform::detail::registerHandle(
            std::make_shared<platform::UrlCacheFind>(std::move(records)));
        SetLastError(ERROR_SUCCESS);
        return handle;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL FindNextUrlCacheEntry(HANDLE find, LPINTERNET_CACHE_ENTRY_INFO info, LPDWORD size) noexcept
{
    try {
        auto listing = platform::lookupFind(find);
        if (!listing) {
            return FALSE;
        }
        std::lock_guard lock(listing->m_mutex);
        if (listing->m_next >= listing->m_records.size()) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        if (!platform::copyRecord(listing->m_records[listing->m_next], info, size)) {
            return FALSE;
        }
        ++listing->m_next;
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL FindCloseUrlCache(HANDLE find) noexcept
{
    try {
        if (!platform::lookupFind(find)) {
            return FALSE;
        }
        return platform::detail::releaseHandle(find, platform::detail::HandleKind::Other) ? TRUE
                                                                                          : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL DeleteUrlCacheEntry(LPCSTR url) noexcept
{
    try {
        if (url == nullptr || *url == '\0') {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const bool indexed = platform::deleteIndexed(url);
        const bool cookie = platform::deleteCookieFile(url);
        if (!indexed && !cookie) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
