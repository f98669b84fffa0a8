// Folder listings and file operations by name over DOS paths.

#include "Handles.h"
#include "PathResolver.h"

#include <platform/Files.h>
#include <platform/Text.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

class FindSearch : public detail::KernelObject {
public:
    explicit FindSearch(std::vector<WIN32_FIND_DATA> entries)
        : KernelObject(detail::HandleKind::Find), m_entries(std::move(entries))
    {}
    bool next(WIN32_FIND_DATA* data)
    {
        std::lock_guard lock(m_mutex);
        if (m_next >= m_entries.size()) {
            return false;
        }
        *data = m_entries[m_next++];
        return true;
    }

private:
    std::mutex m_mutex; // guards m_next
    std::vector<WIN32_FIND_DATA> m_entries;
    std::size_t m_next = 0;
};

FILETIME fileTime(const timespec& t)
{
    // 100 ns steps since 1601-01-01.
    constexpr std::uint64_t epochOffset = 11644473600ULL;
    std::uint64_t ticks = (static_cast<std::uint64_t>(t.tv_sec) + epochOffset) * 10000000ULL +
                          static_cast<std::uint64_t>(t.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

WIN32_FIND_DATA findData(const struct stat& st, const std::string& name)
{
    WIN32_FIND_DATA data{};
    data.dwFileAttributes = detail::attributesOf(st, name);
    data.ftCreationTime = fileTime(st.st_ctim);
    data.ftLastAccessTime = fileTime(st.st_atim);
    data.ftLastWriteTime = fileTime(st.st_mtim);
    if (S_ISREG(st.st_mode)) {
        auto size = static_cast<std::uint64_t>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
    return data;
}

// DOS wildcards, without regard to case: * any run of characters, ? one character.
bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || text::lowerChar(pattern[p]) == text::lowerChar(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// A name without an extension also matches as "name.", so that "*.*" lists every file
// and "*." the files without an extension, as DOS patterns do.
bool patternMatches(const std::string& pattern, const std::string& name)
{
    if (wildcardMatch(pattern, name)) {
        return true;
    }
    return name.find('.') == std::string::npos && wildcardMatch(pattern, name + ".");
}

bool isDriveRoot(const HostPath& folder)
{
    auto same = [&folder](const HostPath& root) {
        return detail::isInside(folder, root) && detail::isInside(root, folder);
    };
    return same(prefix() / "drive_c") || same(detail::canonicalDriveC()) || same("/");
}

Result<std::vector<WIN32_FIND_DATA>> listFolder(const HostPath& folder, const std::string& pattern)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return makeError(ERROR_PATH_NOT_FOUND, "no folder " + folder.string());
    }
    std::vector<WIN32_FIND_DATA> entries;
    if (!isDriveRoot(folder)) {
        struct stat parent {};
        if (::stat((folder / "..").c_str(), &parent) != 0) {
            parent = st;
        }
        for (const auto& [name, info] : {std::pair{".", st}, std::pair{"..", parent}}) {
            if (patternMatches(pattern, name)) {
                entries.push_back(findData(info, name));
            }
        }
    }
    std::vector<std::pair<std::string, std::string>> names; // lower-case key, name
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (patternMatches(pattern, name)) {
            names.emplace_back(text::lower(name), name);
        }
    }
    if (ec) {
        return makeError(static_cast<LONG>(detail::win32Error(ec.value())), ec.message());
    }
    std::sort(names.begin(), names.end());
    for (const auto& [key, name] : names) {
        struct stat entry {};
        if (::lstat((folder / name).c_str(), &entry) == 0) {
            entries.push_back(findData(entry, name));
        }
    }
    return entries;
}

Result<std::vector<WIN32_FIND_DATA>> findEntries(std::string_view pattern)
{
    std::size_t cut = pattern.find_last_of("\\/");
    std::string folderPart;
    std::string name;
    if (cut == std::string_view::npos) {
        bool drive = pattern.size() >= 2 && pattern[1] == ':';
        folderPart = drive ? std::string(pattern.substr(0, 2)) : ".";
        name = std::string(pattern.substr(drive ? 2 : 0));
    } else {
        folderPart =
            cut == 0 ? std::string(pattern.substr(0, 1)) : std::string(pattern.substr(0, cut));
        if (folderPart.size() == 2 && folderPart[1] == ':') {
            folderPart += '\\';
        }
        name = std::string(pattern.substr(cut + 1));
    }
    if (name.empty()) {
        return makeError(ERROR_FILE_NOT_FOUND, "no name to look for");
    }
    Result<HostPath> folder = detail::resolveDosPath(folderPart, detail::LastLink::Follow);
    if (!folder) {
        return folder.error();
    }
    Result<std::vector<WIN32_FIND_DATA>> entries = listFolder(*folder, name);
    if (entries && entries->empty()) {
        return makeError(ERROR_FILE_NOT_FOUND, "nothing matches " + std::string(pattern));
    }
    return entries;
}

// The host path of a DOS path whose last component is worked on itself (never followed),
// with its lstat data; false with the last error set when it does not exist.
bool statEntry(LPCSTR path, HostPath& host, struct stat& st)
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Result<HostPath> resolved = detail::resolveDosPath(path, detail::LastLink::Keep);
    if (!resolved) {
        detail::failWith(resolved.error());
        return false;
    }
    host = *resolved;
    if (::lstat(host.c_str(), &st) != 0) {
        detail::failWithErrno(errno, host);
        return false;
    }
    return true;
}

bool copyFd(int from, int to)
{
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno != EINTR) {
                return false;
            }
            done += put > 0 ? put : 0;
        }
    }
}

// Copies the file at from over to (atomically); false with the last error set.
bool copyHostFile(const HostPath& from, const HostPath& to, bool failIfExists)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return detail::failWithErrno(errno, from);
    }
    struct stat st {};
    ::fstat(in, &st);
    if (S_ISDIR(st.st_mode)) {
        ::close(in);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        DWORD refusal = failIfExists ? ERROR_FILE_EXISTS
                        : (S_ISDIR(existing.st_mode) || detail::isReadOnly(existing))
                            ? ERROR_ACCESS_DENIED
                            : ERROR_SUCCESS;
        if (refusal != ERROR_SUCCESS) {
            ::close(in);
            SetLastError(refusal);
            return false;
        }
    }
    Result<void> done = detail::replaceFile(
        to, [in](int out) { return copyFd(in, out); }, st.st_mode & 07777, failIfExists);
    ::close(in);
    return done ? true : detail::failWith(done.error());
}

} // namespace

namespace detail {

bool isReadOnly(const struct stat& st)
{
    return !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

DWORD attributesOf(const struct stat& st, const std::string& name)
{
    DWORD attributes = S_ISLNK(st.st_mode)   ? FILE_ATTRIBUTE_REPARSE_POINT
                       : S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                                             : FILE_ATTRIBUTE_ARCHIVE;
    if (isReadOnly(st)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name.size() > 1 && name[0] == '.' && name != "..") {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes;
}

Result<void> replaceFile(const HostPath& target, const std::function<bool(int)>& fill, mode_t mode,
                         bool noReplace)
{
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX"));
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        int err = errno;
        return makeError(static_cast<LONG>(win32Error(err, target)),
                         "cannot write beside " + target.string() + ": " + std::strerror(err));
    }
    bool written = fill(fd) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (written) {
        int renamed = noReplace ? ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(),
                                              RENAME_NOREPLACE)
                                : ::rename(temp.c_str(), target.c_str());
        if (renamed == 0) {
            return {};
        }
        err = errno;
    }
    ::unlink(temp.c_str());
    LONG code =
        noReplace && err == EEXIST ? ERROR_FILE_EXISTS : static_cast<LONG>(win32Error(err, target));
    return makeError(code, "cannot write " + target.string() + ": " + std::strerror(err));
}

} // namespace detail

} // namespace platform

using platform::HostPath;
namespace detail = platform::detail;

HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data) noexcept
{
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    try {
        platform::Result<std::vector<WIN32_FIND_DATA>> entries = platform::findEntries(pattern);
        if (!entries) {
            detail::failWith(entries.error());
            return INVALID_HANDLE_VALUE;
        }
        *data = entries->front();
        entries->erase(entries->begin());
        return detail::registerHandle(std::make_shared<platform::FindSearch>(std::move(*entries)));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data) noexcept
{
    auto search = detail::lookupHandleAs<platform::FindSearch>(find, detail::HandleKind::Find);
    if (search == nullptr) {
        return FALSE;
    }
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!search->next(data)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL FindClose(HANDLE find) noexcept
{
    return detail::releaseHandle(find, detail::HandleKind::Find) ? TRUE : FALSE;
}

DWORD GetFileAttributes(LPCSTR path) noexcept
{
    try {
        HostPath host;
        struct stat st {};
        if (!platform::statEntry(path, host, st)) {
            return INVALID_FILE_ATTRIBUTES;
        }
        return detail::attributesOf(st, host.filename().string());
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_FILE_ATTRIBUTES;
    }
}

BOOL SetFileAttributes(LPCSTR path, DWORD attributes) noexcept
{
    try {
        HostPath host;
        struct stat st {};
        if (!platform::statEntry(path, host, st)) {
            return FALSE;
        }
        if (S_ISLNK(st.st_mode)) {
            return TRUE; // a link has no attributes of its own to change
        }
        // Only read-only has a counterpart here; hidden is part of the name.
        mode_t mode = st.st_mode & 07777;
        mode = (attributes & FILE_ATTRIBUTE_READONLY) ? mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                      : mode | S_IWUSR;
        if (::chmod(host.c_str(), mode) != 0) {
            return detail::failWithErrno(errno, host);
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL DeleteFile(LPCSTR path) noexcept
{
    try {
        HostPath host;
        struct stat st {};
        if (!platform::statEntry(path, host, st)) {
            return FALSE;
        }
        // As on Windows: folders and read-only files are not deleted.
        if (S_ISDIR(st.st_mode) || detail::isReadOnly(st)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (::unlink(host.c_str()) != 0) {
            return detail::failWithErrno(errno, host);
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL CopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists) noexcept
{
    if (from == nullptr || to == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        platform::Result<HostPath> source = platform::toHostPath(from);
        if (!source) {
            return detail::failWith(source.error());
        }
        platform::Result<HostPath> target = detail::resolveDosPath(to, detail::LastLink::Keep);
        if (!target) {
            return detail::failWith(target.error());
        }
        return platform::copyHostFile(*source, *target, failIfExists != FALSE) ? TRUE : FALSE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL MoveFileEx(LPCSTR from, LPCSTR to, DWORD flags) noexcept
{
    try {
        HostPath source;
        struct stat st {};
        if (!platform::statEntry(from, source, st) || to == nullptr) {
            return to == nullptr ? detail::failWithErrno(EINVAL) : FALSE;
        }
        platform::Result<HostPath> target = detail::resolveDosPath(to, detail::LastLink::Keep);
        if (!target) {
            return detail::failWith(target.error());
        }
        struct stat existing {};
        bool targetExists = ::lstat(target->c_str(), &existing) == 0;
        bool sameEntry =
            targetExists && existing.st_ino == st.st_ino && existing.st_dev == st.st_dev;
        if (sameEntry) {
            // Only the case of the name changes: take the name as written.
            std::string_view text(to);
            std::size_t cut = text.find_last_of("\\/:");
            *target =
                target->parent_path() / std::string(text.substr(cut == text.npos ? 0 : cut + 1));
        } else if (targetExists) {
            if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return FALSE;
            }
            if (S_ISDIR(existing.st_mode) || S_ISDIR(st.st_mode) || detail::isReadOnly(existing)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
        }
        // rename() replaces in one step; without the replace flag nothing may appear in
        // between either.
        int renamed = (flags & MOVEFILE_REPLACE_EXISTING) || sameEntry
                          ? ::rename(source.c_str(), target->c_str())
                          : ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target->c_str(),
                                        RENAME_NOREPLACE);
        if (renamed == 0) {
            return TRUE;
        }
        int err = errno;
        if (err == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) && S_ISREG(st.st_mode)) {
            if (!platform::copyHostFile(source, *target, !(flags & MOVEFILE_REPLACE_EXISTING))) {
                return FALSE;
            }
            return ::unlink(source.c_str()) == 0 ? TRUE : detail::failWithErrno(errno, source);
        }
        if (err == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        return detail::failWithErrno(err, *target);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL CreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES) noexcept
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        platform::Result<HostPath> host = detail::resolveDosPath(path, detail::LastLink::Keep);
        if (!host) {
            return detail::failWith(host.error());
        }
        if (::mkdir(host->c_str(), 0777) != 0) {
            int err = errno;
            return detail::failWithErrno(err == ENOENT ? ENOTDIR : err, *host);
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL RemoveDirectory(LPCSTR path) noexcept
{
    try {
        HostPath host;
        struct stat st {};
        if (!platform::statEntry(path, host, st)) {
            return FALSE;
        }
        if (S_ISLNK(st.st_mode)) {
            return ::unlink(host.c_str()) == 0 ? TRUE : detail::failWithErrno(errno, host);
        }
        if (!S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
        if (detail::isReadOnly(st)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (::rmdir(host.c_str()) != 0) {
            int err = errno;
            return detail::failWithErrno(err == EEXIST ? ENOTEMPTY : err, host);
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
