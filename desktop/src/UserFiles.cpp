#include "UserFiles.h"

#include <platform/Files.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace desktop {
namespace fs = std::filesystem;

namespace {

platform::Error fileError(const fs::path& file, const char* what, int err)
{
    return platform::makeError(
        err == EACCES || err == EPERM ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT,
        std::string("Cannot ") + what + " " + file.string() + ": " + std::strerror(err) + ".");
}

// A link the user keeps (dotfiles in a repository) leads to the file that is replaced,
// also when that file does not exist yet.
fs::path realTarget(const fs::path& file)
{
    fs::path target = file;
    std::error_code ec;
    for (int hops = 0; hops < 16 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.lexically_normal();
}

} // namespace

fs::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

fs::path configFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && config[0] == '/') {
        return config;
    }
    return homeFolder() / ".config";
}

platform::Result<FileState> readUserFile(const fs::path& file)
{
    FileState state;
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return state;
        }
        return fileError(file, "read", errno);
    }
    struct stat st {};
    const bool stated = ::fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        int err = stated ? EISDIR : errno;
        ::close(fd);
        return fileError(file, "read", err);
    }
    state.mode = st.st_mode & 07777;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            int err = errno;
            ::close(fd);
            return fileError(file, "read", err);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    state.bytes = std::move(bytes);
    return state;
}

platform::Result<void> writeUserFile(const fs::path& file, std::string_view bytes, unsigned mode)
{
    const fs::path target = realTarget(file);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    platform::Result<void> written = platform::replaceHostFile(target, bytes, mode);
    if (!written) {
        return platform::makeError(written.error().code, "Cannot write " + file.string() + ": " +
                                                             written.error().message);
    }
    return {};
}

platform::Result<void> removeUserFile(const fs::path& file)
{
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        return fileError(file, "remove", errno);
    }
    return {};
}

} // namespace desktop
