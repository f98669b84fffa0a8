// The recycle bin over the freedesktop.org trash (see platform/Shell.h).

#include <platform/Shell.h>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>

namespace platform {

namespace {

constexpr HRESULT kOk = 0;
constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);

std::mutex g_mountsMutex;
HostPath g_mountsFile; // empty: the kernel's table

HostPath mountsFile()
{
    std::lock_guard lock(g_mountsMutex);
    return g_mountsFile.empty() ? HostPath("/proc/mounts") : g_mountsFile;
}

// The mount table writes blanks, tabs, newlines and backslashes as \ooo.
std::string unescapeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<HostPath> mountPoints()
{
    std::vector<HostPath> out;
    std::ifstream in(mountsFile());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string dir;
        if (fields >> device >> dir) {
            out.emplace_back(unescapeMountField(dir));
        }
    }
    return out;
}

bool lstatDir(const HostPath& path, struct stat& st)
{
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

HostPath homeTrash()
{
    // A relative XDG_DATA_HOME does not count (freedesktop.org base folders).
    if (const char* dataHome = std::getenv("XDG_DATA_HOME");
        dataHome != nullptr && *dataHome == '/') {
        return HostPath(dataHome) / "Trash";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw != nullptr ? pw->pw_dir : "/";
    }
    return HostPath(home) / ".local" / "share" / "Trash";
}

// The user's trash folders on the mounted volumes, each listed once.
std::vector<HostPath> volumeTrashes(std::vector<std::pair<dev_t, ino_t>>& seen)
{
    const std::string uid = std::to_string(::getuid());
    std::vector<HostPath> out;
    auto add = [&](const HostPath& path) {
        struct stat st {};
        if (!lstatDir(path, st)) {
            return;
        }
        for (const auto& [dev, ino] : seen) {
            if (dev == st.st_dev && ino == st.st_ino) {
                return;
            }
        }
        seen.emplace_back(st.st_dev, st.st_ino);
        out.push_back(path);
    };
    for (const HostPath& top : mountPoints()) {
        struct stat shared {};
        // A shared .Trash counts only as a real folder with the sticky bit.
        if (lstatDir(top / ".Trash", shared) && (shared.st_mode & S_ISVTX) != 0) {
            add(top / ".Trash" / uid);
        }
        add(top / (".Trash-" + uid));
    }
    return out;
}

bool clearFolderFd(int fd);

// Removes one entry of the folder dirFd, a folder with everything below it. A link is
// removed as a link: nothing is ever opened through one.
bool removeEntryAt(int dirFd, const char* name)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(st.st_mode)) {
        return ::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT;
    }
    int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        // A trashed folder without read rights is still the user's own: open it up.
        ::fchmodat(dirFd, name, (st.st_mode & 07777) | S_IRWXU, 0);
        fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        return false;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    }
    bool ok = clearFolderFd(fd);
    if (::unlinkat(dirFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT) {
        ok = false;
    }
    return ok;
}

// Removes everything inside the folder open as fd; takes the descriptor over.
bool clearFolderFd(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    // Names first: removing while reading may make the listing skip entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    bool ok = true;
    for (const std::string& name : names) {
        ok = removeEntryAt(::dirfd(dir), name.c_str()) && ok;
    }
    ::closedir(dir);
    return ok;
}

bool emptyTrash(const HostPath& trash)
{
    const int trashFd = ::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (trashFd < 0) {
        // No trash yet is an empty trash; a link in its place is not ours to follow.
        return errno == ENOENT;
    }
    bool ok = true;
    // Files before their descriptions, as freedesktop.org trash users expect.
    for (const char* sub : {"files", "info"}) {
        struct stat st {};
        if (::fstatat(trashFd, sub, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const int fd = S_ISDIR(st.st_mode)
                           ? ::openat(trashFd, sub, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                           : -1;
        ok = (fd >= 0 && clearFolderFd(fd)) && ok;
    }
    // The size cache describes folders that are gone now.
    struct stat st {};
    if (::fstatat(trashFd, "directorysizes", &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
        ::unlinkat(trashFd, "directorysizes", 0);
    }
    ::close(trashFd);
    return ok;
}

} // namespace

std::vector<HostPath> trashFolders()
{
    std::vector<std::pair<dev_t, ino_t>> seen;
    const HostPath home = homeTrash();
    struct stat st {};
    if (lstatDir(home, st)) {
        seen.emplace_back(st.st_dev, st.st_ino);
    }
    std::vector<HostPath> out{home};
    for (HostPath& trash : volumeTrashes(seen)) {
        out.push_back(std::move(trash));
    }
    return out;
}

void setMountTableForTests(const HostPath& file)
{
    std::lock_guard lock(g_mountsMutex);
    g_mountsFile = file;
}

} // namespace platform

HRESULT SHEmptyRecycleBin(HWND, LPCSTR rootPath, DWORD) noexcept
{
    try {
        std::vector<platform::HostPath> trashes = platform::trashFolders();
        if (rootPath != nullptr && *rootPath != '\0') {
            // Only the trashes on the volume of rootPath.
            auto host = platform::toHostPath(rootPath);
            struct stat root {};
            if (!host || ::stat(host->c_str(), &root) != 0) {
                return platform::kFail;
            }
            std::erase_if(trashes, [&](const platform::HostPath& trash) {
                struct stat st {};
                return ::lstat(trash.c_str(), &st) != 0 || st.st_dev != root.st_dev;
            });
        }
        bool ok = true;
        for (const platform::HostPath& trash : trashes) {
            ok = platform::emptyTrash(trash) && ok;
        }
        return ok ? platform::kOk : platform::kFail;
    } catch (...) {
        return platform::kFail;
    }
}
