// Open files behind HANDLEs (CreateFile and friends) and whole-file reads and writes.

#include "Handles.h"
#include "PathResolver.h"

#include <platform/Files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace platform {

namespace {

class OpenFile : public detail::KernelObject {
public:
    explicit OpenFile(int fd) : KernelObject(detail::HandleKind::File), m_fd(fd) {}
    ~OpenFile() override { ::close(m_fd); }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::shared_ptr<OpenFile> openFile(HANDLE handle)
{
    return detail::lookupHandleAs<OpenFile>(handle, detail::HandleKind::File);
}

int accessFlags(DWORD access)
{
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    return write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
}

// open(2) flags for a disposition, or -1 for an unknown one.
int dispositionFlags(DWORD disposition)
{
    switch (disposition) {
    case CREATE_NEW:
        return O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return O_CREAT | O_TRUNC;
    case OPEN_EXISTING:
        return 0;
    case OPEN_ALWAYS:
        return O_CREAT;
    case TRUNCATE_EXISTING:
        return O_TRUNC;
    default:
        return -1;
    }
}

// Refusals Windows makes before opening: folders, writes to read-only files, existing
// files for CREATE_NEW. ERROR_SUCCESS when the open may go ahead.
DWORD refusalBeforeOpen(const HostPath& host, DWORD access, DWORD disposition, bool& existed)
{
    struct stat st {};
    existed = ::stat(host.c_str(), &st) == 0;
    if (!existed) {
        return ERROR_SUCCESS;
    }
    if (disposition == CREATE_NEW) {
        return ERROR_FILE_EXISTS;
    }
    bool writes = (access & GENERIC_WRITE) != 0 || disposition == CREATE_ALWAYS ||
                  disposition == TRUNCATE_EXISTING;
    if (S_ISDIR(st.st_mode) || (writes && detail::isReadOnly(st))) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// Read from /proc: umask() itself would change the mask for every thread meanwhile.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    return 022;
}

Result<HostPath> resolveForUse(const DosPath& path)
{
    return detail::resolveDosPath(path.str(), detail::LastLink::Follow);
}

} // namespace

Result<std::string> readWholeFile(const DosPath& path)
{
    Result<HostPath> host = resolveForUse(path);
    if (!host) {
        return host.error();
    }
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        return makeError(static_cast<LONG>(detail::win32Error(err, *host)),
                         "cannot read " + path.str() + ": " + std::strerror(err));
    }
    std::string bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            int err = errno;
            ::close(fd);
            return makeError(err == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT,
                             "cannot read " + path.str() + ": " + std::strerror(err));
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno != EINTR) {
            return false;
        }
        done += put > 0 ? static_cast<std::size_t>(put) : 0;
    }
    return true;
}

} // namespace

Result<void> writeWholeFile(const DosPath& path, std::string_view bytes)
{
    // The file is replaced as a whole, a link in its place included (never written
    // through).
    Result<HostPath> host = detail::resolveDosPath(path.str(), detail::LastLink::Keep);
    if (!host) {
        return host.error();
    }
    mode_t mode = 0666 & ~currentUmask();
    struct stat st {};
    if (::lstat(host->c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || detail::isReadOnly(st)) {
            return makeError(ERROR_ACCESS_DENIED, "cannot write " + path.str() + ": access denied");
        }
        if (S_ISREG(st.st_mode)) {
            mode = st.st_mode & 07777;
        }
    }
    Result<void> written = detail::replaceFile(
        *host, [bytes](int fd) { return writeAll(fd, bytes); }, mode, false);
    if (!written) {
        return makeError(written.error().code,
                         "cannot write " + path.str() + ": " + written.error().message);
    }
    return {};
}

Result<void> replaceHostFile(const HostPath& target, std::string_view bytes, unsigned mode)
{
    Result<void> written = detail::replaceFile(
        target, [bytes](int fd) { return writeAll(fd, bytes); }, static_cast<mode_t>(mode), false);
    if (!written) {
        return written;
    }
    // The rename itself reaches the disk only with its folder.
    int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || ::fsync(folder) != 0) {
        int err = errno;
        if (folder >= 0) {
            ::close(folder);
        }
        return makeError(ERROR_WRITE_FAULT, "cannot flush the folder of " + target.string() + ": " +
                                                std::strerror(err));
    }
    ::close(folder);
    return {};
}

} // namespace platform

namespace detail = platform::detail;

HANDLE CreateFile(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                  HANDLE) noexcept
{
    int flags = platform::dispositionFlags(disposition);
    if (path == nullptr || flags < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    try {
        platform::Result<platform::HostPath> host =
            platform::resolveForUse(platform::DosPath(path));
        if (!host) {
            detail::failWith(host.error());
            return INVALID_HANDLE_VALUE;
        }
        bool existed = false;
        if (DWORD refusal = platform::refusalBeforeOpen(*host, access, disposition, existed);
            refusal != ERROR_SUCCESS) {
            SetLastError(refusal);
            return INVALID_HANDLE_VALUE;
        }
        int fd = ::open(host->c_str(), platform::accessFlags(access) | flags | O_CLOEXEC, 0666);
        if (fd < 0) {
            int err = errno;
            SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : detail::win32Error(err, *host));
            return INVALID_HANDLE_VALUE;
        }
        HANDLE handle = detail::registerHandle(std::make_shared<platform::OpenFile>(fd));
        // As on Windows, the two "always" dispositions tell whether the file was there.
        bool always = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
        SetLastError(always && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return handle;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) noexcept
{
    auto open = platform::openFile(file);
    if (open == nullptr) {
        return FALSE;
    }
    DWORD total = 0;
    while (total < toRead) {
        ssize_t got = ::read(open->fd(), static_cast<char*>(buffer) + total, toRead - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            if (read != nullptr) {
                *read = total;
            }
            return detail::failWithErrno(errno == EBADF ? EACCES : errno);
        }
        if (got == 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    if (read != nullptr) {
        *read = total;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) noexcept
{
    auto open = platform::openFile(file);
    if (open == nullptr) {
        return FALSE;
    }
    DWORD total = 0;
    while (total < toWrite) {
        ssize_t put =
            ::write(open->fd(), static_cast<const char*>(buffer) + total, toWrite - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (written != nullptr) {
                *written = total;
            }
            return detail::failWithErrno(put < 0 && errno == EBADF ? EACCES : errno);
        }
        total += static_cast<DWORD>(put);
    }
    if (written != nullptr) {
        *written = total;
    }
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) noexcept
{
    auto open = platform::openFile(file);
    if (open == nullptr) {
        return FALSE;
    }
    int rc = 0;
    while ((rc = ::fsync(open->fd())) != 0 && errno == EINTR) {
    }
    return rc == 0 ? TRUE : detail::failWithErrno(errno);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method) noexcept
{
    auto open = platform::openFile(file);
    if (open == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit value.
    off_t offset = distanceHigh != nullptr
                       ? static_cast<off_t>((static_cast<std::uint64_t>(*distanceHigh) << 32) |
                                            static_cast<std::uint32_t>(distance))
                       : static_cast<off_t>(distance);
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    if (method > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t position = ::lseek(open->fd(), offset, whence);
    if (position < 0) {
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : detail::win32Error(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) {
        *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(position) >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE file, LPDWORD high) noexcept
{
    auto open = platform::openFile(file);
    if (open == nullptr) {
        return INVALID_FILE_SIZE;
    }
    struct stat st {};
    if (::fstat(open->fd(), &st) != 0) {
        detail::failWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (high != nullptr) {
        *high = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}
