// DOS paths over the prefix: C: is drive_c, Z: is the host's root. Names are matched
// without regard to case when no exact match exists, and every symbolic link met inside
// drive C: is checked before it is followed, so that no C: path leads out of the prefix.

#include "PathResolver.h"

#include <platform/Environment.h>
#include <platform/Text.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

// Guards g_canonicalDriveC: the prefix it belongs to and its drive_c, canonical.
std::mutex g_pathCacheMutex;
std::optional<std::pair<HostPath, HostPath>> g_canonicalDriveC;

struct ParsedPath {
    char drive = 'C';
    std::vector<std::string> parts;
};

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Characters Windows refuses in a file name.
bool validComponent(std::string_view name)
{
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c) != nullptr;
    });
}

HostPath withoutTrailingSeparator(HostPath path)
{
    path = path.lexically_normal();
    if (!path.has_filename() && path.has_relative_path()) {
        path = path.parent_path();
    }
    return path;
}

Result<ParsedPath> parseAbsolute(std::string_view text);

// The current directory in DOS form, parsed.
Result<ParsedPath> currentDirectoryParts()
{
    std::error_code ec;
    HostPath cwd = fs::current_path(ec);
    if (ec) {
        return makeError(ERROR_PATH_NOT_FOUND, "the current directory is gone");
    }
    return parseAbsolute(toDosPath(cwd).str());
}

// Splits rest into components onto parts: "." dropped, ".." removes the previous
// component but never climbs above the drive's root (as on Windows).
Result<void> appendComponents(ParsedPath& path, std::string_view rest)
{
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !isSeparator(rest[end])) {
            ++end;
        }
        std::string_view part = rest.substr(start, end - start);
        if (part == "..") {
            if (!path.parts.empty()) {
                path.parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            if (!validComponent(part)) {
                return makeError(ERROR_INVALID_NAME,
                                 "invalid character in the name \"" + std::string(part) + "\"");
            }
            path.parts.emplace_back(part);
        }
        start = end + 1;
    }
    return {};
}

Result<ParsedPath> parse(std::string_view text, bool allowRelative)
{
    if (text.empty()) {
        return makeError(ERROR_PATH_NOT_FOUND, "empty path");
    }
    if (text.find('\0') != std::string_view::npos) {
        return makeError(ERROR_INVALID_NAME, "path with a zero byte");
    }
    if (text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1])) {
        return makeError(ERROR_PATH_NOT_FOUND, "network paths are not supported");
    }
    ParsedPath path;
    std::string_view rest = text;
    bool hasDrive =
        text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
    bool rooted = false;
    if (hasDrive) {
        path.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        rest = text.substr(2);
    }
    rooted = !rest.empty() && isSeparator(rest[0]);
    if (!hasDrive || !rooted) {
        if (!allowRelative) {
            return makeError(ERROR_PATH_NOT_FOUND, "not an absolute path");
        }
        Result<ParsedPath> cwd = currentDirectoryParts();
        if (!cwd) {
            return cwd.error();
        }
        if (!hasDrive) {
            path.drive = cwd->drive;
        }
        // "name" and "C:name" continue the current directory (when it is on that drive);
        // "\name" starts at the root of the current drive.
        if (!rooted && cwd->drive == path.drive) {
            path.parts = cwd->parts;
        }
    }
    if (path.drive != 'C' && path.drive != 'Z') {
        return makeError(ERROR_PATH_NOT_FOUND,
                         std::string("there is no drive ") + path.drive + ": here");
    }
    if (Result<void> added = appendComponents(path, rest); !added) {
        return added.error();
    }
    return path;
}

Result<ParsedPath> parseAbsolute(std::string_view text)
{
    return parse(text, false);
}

// The entry of folder whose name equals name without regard to case; the smallest such
// name when several do, so that the choice does not depend on the listing order.
std::optional<std::string> findNoCase(const HostPath& folder, const std::string& name)
{
    std::error_code ec;
    std::optional<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (text::equalsNoCase(entry, name) && (!found || entry < *found)) {
            found = entry;
        }
    }
    return found;
}

bool entryExists(const HostPath& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Where the link at linkPath (whose folder is canonicalFolder) leads, or an error when a
// link inside drive C: would lead out of it.
Result<HostPath> followLink(const HostPath& linkPath, const HostPath& canonicalFolder,
                            const HostPath& driveC)
{
    std::error_code ec;
    HostPath target = fs::read_symlink(linkPath, ec);
    if (ec) {
        return makeError(ERROR_ACCESS_DENIED, "unreadable link " + linkPath.string());
    }
    HostPath resolved = fs::weakly_canonical(canonicalFolder / target, ec);
    if (ec) {
        resolved = (canonicalFolder / target).lexically_normal();
    }
    if (detail::isInside(canonicalFolder, driveC) && !detail::isInside(resolved, driveC)) {
        return makeError(ERROR_ACCESS_DENIED,
                         "the link " + linkPath.string() + " leads out of drive C:");
    }
    return resolved;
}

} // namespace

namespace detail {

bool isInside(const HostPath& path, const HostPath& folder)
{
    HostPath p = withoutTrailingSeparator(path);
    HostPath f = withoutTrailingSeparator(folder);
    auto [fIt, pIt] = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
    return fIt == f.end();
}

HostPath canonicalDriveC()
{
    const HostPath root = prefix();
    std::lock_guard lock(g_pathCacheMutex);
    // Keyed by the prefix, so that a prefix switched meanwhile is never answered from
    // the old one.
    if (!g_canonicalDriveC || g_canonicalDriveC->first != root) {
        std::error_code ec;
        HostPath canonical = fs::canonical(root / "drive_c", ec);
        g_canonicalDriveC.emplace(root,
                                  ec ? withoutTrailingSeparator(root / "drive_c") : canonical);
    }
    return g_canonicalDriveC->second;
}

void resetPathCaches()
{
    std::lock_guard lock(g_pathCacheMutex);
    g_canonicalDriveC.reset();
}

Result<HostPath> resolveDosPath(std::string_view dosPath, LastLink last)
{
    Result<ParsedPath> parsed = parse(dosPath, true);
    if (!parsed) {
        return parsed.error();
    }
    const HostPath driveC = canonicalDriveC();
    HostPath host = parsed->drive == 'C' ? prefix() / "drive_c" : HostPath("/");
    HostPath canonical = parsed->drive == 'C' ? driveC : HostPath("/");
    bool exists = true;
    const std::size_t count = parsed->parts.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = parsed->parts[i];
        if (exists && !entryExists(host / name)) {
            std::optional<std::string> match = findNoCase(host, name);
            exists = match.has_value();
            name = match.value_or(name);
        }
        host /= name;
        std::error_code ec;
        bool followThis = last == LastLink::Follow || i + 1 < count;
        if (exists && followThis && fs::is_symlink(fs::symlink_status(host, ec))) {
            Result<HostPath> target = followLink(host, canonical, driveC);
            if (!target) {
                return target.error();
            }
            canonical = *target;
        } else {
            canonical /= name;
        }
    }
    return host;
}

DWORD win32Error(int err, const HostPath& hostPath)
{
    switch (err) {
    case ENOENT: {
        std::error_code ec;
        bool folderThere = hostPath.empty() || fs::is_directory(hostPath.parent_path(), ec);
        return folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

BOOL failWith(const Error& error)
{
    SetLastError(static_cast<DWORD>(error.code));
    return FALSE;
}

BOOL failWithErrno(int err, const HostPath& hostPath)
{
    SetLastError(win32Error(err, hostPath));
    return FALSE;
}

DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size)
{
    if (buffer == nullptr || size < text.size() + 1) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

} // namespace detail

Result<HostPath> toHostPath(std::string_view dosPath)
{
    return detail::resolveDosPath(dosPath, detail::LastLink::Follow);
}

DosPath toDosPath(const HostPath& hostPath)
{
    std::error_code ec;
    HostPath path =
        withoutTrailingSeparator(hostPath.is_absolute() ? hostPath : fs::absolute(hostPath, ec));
    std::string drive = "Z:";
    HostPath rest = path.relative_path();
    for (const HostPath& driveC :
         {withoutTrailingSeparator(prefix() / "drive_c"), detail::canonicalDriveC()}) {
        if (detail::isInside(path, driveC)) {
            drive = "C:";
            rest = path.lexically_relative(driveC);
            break;
        }
    }
    std::string text = drive + "\\";
    for (const HostPath& part : rest) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (text.back() != '\\') {
            text += '\\';
        }
        text += part.string();
    }
    return DosPath(text);
}

} // namespace platform

DWORD GetCurrentDirectory(DWORD size, LPSTR buffer) noexcept
{
    try {
        std::error_code ec;
        platform::HostPath cwd = std::filesystem::current_path(ec);
        if (ec) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return 0;
        }
        return platform::detail::copyOut(platform::toDosPath(cwd).str(), buffer, size);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL SetCurrentDirectory(LPCSTR path) noexcept
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        platform::Result<platform::HostPath> host = platform::toHostPath(path);
        if (!host) {
            return platform::detail::failWith(host.error());
        }
        std::error_code ec;
        if (std::filesystem::exists(*host, ec) && !std::filesystem::is_directory(*host, ec)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
        if (::chdir(host->c_str()) != 0) {
            return platform::detail::failWithErrno(errno, *host);
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
