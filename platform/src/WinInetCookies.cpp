// The cookie store of WinINet: one file per cookie domain in the profile's Cookies folder
// (layout in platform/WinInet.h).

#include <platform/Environment.h>
#include <platform/Text.h>
#include <platform/WinInet.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct Url {
    std::string host; // lower case, without port
    std::string path; // starts with '/', without query and fragment
};

struct Cookie {
    std::string name;
    std::string value;
    std::string path;
    bool domainWide = false; // "D": the domain and its subdomains; "H": the host only
    std::int64_t expiry = 0; // seconds since 1970; 0: no date
};

// Serialises this process's writers; the lock on the folder serialises the processes.
std::mutex g_writeMutex;

bool validHost(std::string_view host)
{
    if (host.empty() || host.size() > 255) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

// "scheme://[user@]host[:port][/path][?query][#fragment]".
std::optional<Url> parseUrl(std::string_view url)
{
    url = text::trim(url);
    std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos || scheme == 0) {
        return std::nullopt;
    }
    std::string_view rest = url.substr(scheme + 3);
    std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    authority = authority.substr(0, authority.find(':'));
    if (!validHost(authority)) {
        return std::nullopt;
    }
    Url out{text::lower(authority), "/"};
    if (authorityEnd != std::string_view::npos && rest[authorityEnd] == '/') {
        std::string_view path = rest.substr(authorityEnd);
        out.path = std::string(path.substr(0, path.find_first_of("?#")));
    }
    return out;
}

// RFC 6265 path match: the same path, or a prefix ending at a '/'.
bool pathMatches(const std::string& requestPath, const std::string& cookiePath)
{
    if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) {
        return false;
    }
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
           requestPath[cookiePath.size()] == '/';
}

bool domainMatches(const std::string& host, const std::string& domain)
{
    return host == domain ||
           (host.size() > domain.size() &&
            host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
            host[host.size() - domain.size() - 1] == '.');
}

// The directory of the request path, the default path of a cookie.
std::string defaultPath(const std::string& requestPath)
{
    std::size_t slash = requestPath.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : requestPath.substr(0, slash);
}

// "Wdy, DD-Mon-YYYY HH:MM:SS GMT" and its variants; nothing when no date can be read.
std::optional<std::int64_t> parseHttpDate(std::string_view text)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    std::tm tm{};
    int found = 0; // bit 1 day, 2 month, 4 year, 8 time
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of(" ,-\t", i);
        std::string token(text.substr(i, end == std::string_view::npos ? end : end - i));
        i = end == std::string_view::npos ? text.size() : end + 1;
        if (token.empty()) {
            continue;
        }
        int h = 0, m = 0, s = 0;
        if (token.find(':') != std::string::npos &&
            std::sscanf(token.c_str(), "%d:%d:%d", &h, &m, &s) == 3) {
            tm.tm_hour = h, tm.tm_min = m, tm.tm_sec = s, found |= 8;
        } else if (std::isdigit(static_cast<unsigned char>(token[0]))) {
            int n = std::atoi(token.c_str());
            if (!(found & 1) && token.size() <= 2) {
                tm.tm_mday = n, found |= 1;
            } else if (!(found & 4)) {
                tm.tm_year = (token.size() <= 2 ? (n < 70 ? n + 2000 : n + 1900) : n) - 1900;
                found |= 4;
            }
        } else {
            std::string t = text::lower(token).substr(0, 3);
            for (int k = 0; k < 12; ++k) {
                if (t == months[k]) {
                    tm.tm_mon = k, found |= 2;
                }
            }
        }
    }
    if ((found & 7) != 7) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(timegm(&tm));
}

// The folder and the file-name stem, worked out again only when the prefix changes: the
// filters ask for cookies on every request chunk, and the login name costs a passwd read.
struct StoreLocation {
    fs::path prefix;
    fs::path folder;
    std::string stem; // "<login>@"
};

const StoreLocation& storeLocation()
{
    thread_local StoreLocation location;
    const fs::path& prefix = platform::prefix();
    if (location.folder.empty() || location.prefix != prefix) {
        location = StoreLocation{prefix, platform::profileFolder() / "Cookies",
                                 platform::loginName() + "@"};
    }
    return location;
}

fs::path cookiesFolder()
{
    return storeLocation().folder;
}

fs::path fileFor(const std::string& domain)
{
    const StoreLocation& location = storeLocation();
    return location.folder / (location.stem + domain + ".txt");
}

// Reads a domain file without following a symbolic link.
std::vector<Cookie> readCookies(const fs::path& file)
{
    std::vector<Cookie> cookies;
    int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return cookies;
    }
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::string_view line(bytes.data() + pos,
                              (end == std::string::npos ? bytes.size() : end) - pos);
        pos = end == std::string::npos ? bytes.size() : end + 1;
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            std::size_t tab = line.find('\t', start);
            fields.emplace_back(
                line.substr(start, tab == std::string_view::npos ? tab : tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        if (fields.size() == 5 && !fields[2].empty() && fields[2][0] == '/') {
            cookies.push_back(Cookie{fields[0], fields[1], fields[2], fields[3] == "D",
                                     std::strtoll(fields[4].c_str(), nullptr, 10)});
        }
    }
    return cookies;
}

bool writeCookies(const fs::path& file, const std::vector<Cookie>& cookies)
{
    std::error_code ec;
    if (cookies.empty()) {
        fs::remove(file, ec);
        return !ec;
    }
    std::string bytes;
    for (const Cookie& c : cookies) {
        bytes += c.name + '\t' + c.value + '\t' + c.path + '\t' + (c.domainWide ? "D" : "H") +
                 '\t' + std::to_string(c.expiry) + '\n';
    }
    fs::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        fs::rename(temp, file, ec); // replaces a symbolic link itself, never its target
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
    }
    return ok;
}

// Holds the folder lock that every process of the prefix takes to write.
class FolderLock {
public:
    explicit FolderLock(const fs::path& folder)
        : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
    {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~FolderLock()
    {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd;
};

std::int64_t now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

// A control character (tabs and line ends included) would break the store's lines.
bool cleanText(std::string_view text)
{
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

struct ParsedCookie {
    Cookie cookie;
    std::string domain; // the file it belongs in
    bool remove = false;
};

std::optional<ParsedCookie> parseSetCookie(const Url& url, std::string_view text)
{
    if (!cleanText(text)) {
        return std::nullopt;
    }
    std::string_view pair = text::trim(text.substr(0, text.find(';')));
    ParsedCookie out;
    std::size_t eq = pair.find('=');
    out.cookie.name = std::string(text::trim(pair.substr(0, eq)));
    out.cookie.value =
        eq == std::string_view::npos ? "" : std::string(text::trim(pair.substr(eq + 1)));
    if (out.cookie.name.empty()) {
        return std::nullopt;
    }
    out.cookie.path = defaultPath(url.path);
    out.domain = url.host;
    for (std::size_t pos = text.find(';'); pos != std::string_view::npos;) {
        std::size_t next = text.find(';', pos + 1);
        std::string_view attr = text::trim(
            text.substr(pos + 1, next == std::string_view::npos ? next : next - pos - 1));
        pos = next;
        std::size_t attrEq = attr.find('=');
        std::string key = text::lower(text::trim(attr.substr(0, attrEq)));
        std::string_view value =
            attrEq == std::string_view::npos ? "" : text::trim(attr.substr(attrEq + 1));
        if (key == "path" && !value.empty() && value[0] == '/') {
            out.cookie.path = std::string(value);
        } else if (key == "domain" && !value.empty()) {
            std::string domain = text::lower(value[0] == '.' ? value.substr(1) : value);
            bool covers = domainMatches(url.host, domain);
            if (!validHost(domain) || !covers ||
                (domain != url.host && domain.find('.') == std::string::npos)) {
                return std::nullopt;
            }
            out.domain = domain;
            out.cookie.domainWide = true;
        } else if (key == "expires") {
            if (auto when = parseHttpDate(value)) {
                out.cookie.expiry = *when;
            }
        } else if (key == "max-age" && !value.empty()) {
            long long seconds = std::strtoll(std::string(value).c_str(), nullptr, 10);
            out.cookie.expiry = seconds <= 0 ? 1 : now() + seconds;
        }
    }
    out.remove = out.cookie.expiry != 0 && out.cookie.expiry <= now();
    return out;
}

bool storeCookie(const Url& url, std::string_view text)
{
    std::optional<ParsedCookie> parsed = parseSetCookie(url, text);
    if (!parsed) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::error_code ec;
    fs::path folder = cookiesFolder();
    if (fs::is_symlink(folder, ec)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    fs::create_directories(folder, ec);
    std::lock_guard guard(g_writeMutex);
    FolderLock lock(folder);
    if (!lock.ok()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    fs::path file = fileFor(parsed->domain);
    std::vector<Cookie> cookies = readCookies(file);
    const Cookie& fresh = parsed->cookie;
    std::erase_if(cookies, [&](const Cookie& c) {
        return c.name == fresh.name && c.path == fresh.path && c.domainWide == fresh.domainWide;
    });
    std::erase_if(cookies, [](const Cookie& c) { return c.expiry != 0 && c.expiry <= now(); });
    if (!parsed->remove) {
        cookies.push_back(fresh);
    }
    if (!writeCookies(file, cookies)) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

// Every cookie that applies to url, longer paths first, in store order otherwise.
std::string cookieTextFor(const Url& url)
{
    std::vector<Cookie> matching;
    const std::int64_t time = now();
    for (std::size_t pos = 0; pos != std::string::npos;) {
        std::string domain = url.host.substr(pos);
        for (Cookie& c : readCookies(fileFor(domain))) {
            bool scope = c.domainWide ? domainMatches(url.host, domain) : domain == url.host;
            if (scope && pathMatches(url.path, c.path) && (c.expiry == 0 || c.expiry > time)) {
                matching.push_back(std::move(c));
            }
        }
        pos = url.host.find('.', pos);
        pos = pos == std::string::npos ? pos : pos + 1;
    }
    std::stable_sort(matching.begin(), matching.end(), [](const Cookie& a, const Cookie& b) {
        return a.path.size() > b.path.size();
    });
    std::string text;
    for (const Cookie& c : matching) {
        if (!text.empty()) {
            text += "; ";
        }
        text += c.name + "=" + c.value;
    }
    return text;
}

} // namespace

BOOL InternetGetCookieA(LPCSTR url, LPCSTR, LPSTR data, LPDWORD size) noexcept
{
    try {
        std::optional<Url> parsed = url != nullptr ? parseUrl(url) : std::nullopt;
        if (!parsed || size == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::string text = cookieTextFor(*parsed);
        if (text.empty()) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        const DWORD needed = static_cast<DWORD>(text.size() + 1);
        if (data == nullptr) {
            *size = needed;
            return TRUE;
        }
        if (*size < needed) {
            *size = needed;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(data, text.c_str(), needed);
        *size = needed - 1;
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR data) noexcept
{
    try {
        std::optional<Url> parsed = url != nullptr ? parseUrl(url) : std::nullopt;
        if (!parsed || data == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::string text = cookieName != nullptr && *cookieName != '\0'
                               ? std::string(cookieName) + "=" + data
                               : std::string(data);
        return storeCookie(*parsed, text) ? TRUE : FALSE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

namespace platform {

bool setCookie(std::string_view url, std::string_view setCookieText)
{
    return InternetSetCookieA(std::string(url).c_str(), nullptr,
                              std::string(setCookieText).c_str()) == TRUE;
}

} // namespace platform
