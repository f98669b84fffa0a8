// Process identities, robust shared locks and run-folder regions.

#include "KernelObjectsShared.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform::detail {

std::uint64_t processStartTime(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char buffer[1024];
    ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) {
        return 0;
    }
    buffer[n] = '\0';
    // The command name may hold blanks and parentheses: fields start after the last ')'.
    const char* p = std::strrchr(buffer, ')');
    if (p == nullptr) {
        return 0;
    }
    p += 2; // field 3, the state
    if (*p == 'Z' || *p == 'X') {
        return 0;
    }
    // Field 22 is the start time; p points at field 3.
    for (int field = 3; field < 22 && *p != '\0'; ++field) {
        p = std::strchr(p, ' ');
        if (p == nullptr) {
            return 0;
        }
        ++p;
    }
    return std::strtoull(p, nullptr, 10);
}

ProcessIdentity selfIdentity()
{
    // Cached per pid: a forked child must not inherit its parent's identity.
    static thread_local ProcessIdentity cached;
    pid_t pid = ::getpid();
    if (cached.pid != pid) {
        cached = ProcessIdentity{pid, processStartTime(pid)};
    }
    return cached;
}

bool isAlive(const ProcessIdentity& process)
{
    return process.pid > 0 && processStartTime(process.pid) == process.startTime &&
           process.startTime != 0;
}

void initSharedMutex(pthread_mutex_t* mutex)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void initSharedCondition(pthread_cond_t* condition)
{
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(condition, &attr);
    pthread_condattr_destroy(&attr);
}

SharedLock::SharedLock(pthread_mutex_t* mutex) : m_mutex(mutex)
{
    if (pthread_mutex_lock(m_mutex) == EOWNERDEAD) {
        pthread_mutex_consistent(m_mutex);
    }
}

SharedLock::~SharedLock()
{
    pthread_mutex_unlock(m_mutex);
}

bool waitShared(pthread_cond_t* condition, SharedLock& lock, std::uint32_t timeoutMs)
{
    int rc;
    if (timeoutMs == 0xFFFFFFFFu) {
        rc = pthread_cond_wait(condition, lock.mutex());
    } else {
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += timeoutMs / 1000;
        deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        rc = pthread_cond_timedwait(condition, lock.mutex(), &deadline);
    }
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(lock.mutex());
        return true;
    }
    return rc != ETIMEDOUT;
}

SharedRegion::SharedRegion(void* data, std::size_t size, HostPath path)
    : m_data(data), m_size(size), m_path(std::move(path))
{}

SharedRegion::~SharedRegion()
{
    ::munmap(m_data, m_size);
}

namespace {

void* mapFile(int fd, std::size_t size)
{
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return data == MAP_FAILED ? nullptr : data;
}

Error systemError(const char* what, const HostPath& path)
{
    int err = errno;
    LONG code = err == ENOENT   ? ERROR_FILE_NOT_FOUND
                : err == EACCES ? ERROR_ACCESS_DENIED
                : err == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY
                                : ERROR_INVALID_FUNCTION;
    return makeError(code, std::string(what) + " " + path.string() + ": " + std::strerror(err));
}

} // namespace

Result<std::unique_ptr<SharedRegion>> SharedRegion::open(const HostPath& path, std::size_t size,
                                                         Mode mode,
                                                         const std::function<void(void*)>& init,
                                                         bool* created)
{
    if (created != nullptr) {
        *created = false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) < size) {
                ::close(fd);
                return makeError(ERROR_INVALID_HANDLE, "damaged run file " + path.string());
            }
            std::size_t actual = static_cast<std::size_t>(st.st_size);
            void* data = mapFile(fd, actual);
            ::close(fd);
            if (data == nullptr) {
                return systemError("cannot map", path);
            }
            return std::unique_ptr<SharedRegion>(new SharedRegion(data, actual, path));
        }
        if (errno != ENOENT || mode == Mode::OpenExisting) {
            return systemError("cannot open", path);
        }
        std::string temp = path.string() + ".XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            return systemError("cannot create", path);
        }
        void* data = nullptr;
        if (::ftruncate(fd, static_cast<off_t>(size)) == 0) {
            data = mapFile(fd, size);
        }
        ::close(fd);
        if (data == nullptr) {
            Error error = systemError("cannot create", path);
            ::unlink(temp.c_str());
            return error;
        }
        init(data);
        int rc = ::link(temp.c_str(), path.c_str());
        int linkErrno = errno;
        ::unlink(temp.c_str());
        if (rc == 0) {
            if (created != nullptr) {
                *created = true;
            }
            return std::unique_ptr<SharedRegion>(new SharedRegion(data, size, path));
        }
        ::munmap(data, size);
        if (linkErrno != EEXIST) {
            errno = linkErrno;
            return systemError("cannot create", path);
        }
        // Another process made it first: open theirs.
    }
    return makeError(ERROR_ACCESS_DENIED, "cannot settle run file " + path.string());
}

std::unique_ptr<SharedRegion> SharedRegion::anonymous(std::size_t size,
                                                      const std::function<void(void*)>& init)
{
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) {
        return nullptr;
    }
    init(data);
    return std::unique_ptr<SharedRegion>(new SharedRegion(data, size, HostPath()));
}

std::string objectFileName(std::string_view kindPrefix, std::string_view name)
{
    for (std::string_view ns : {"Global\\", "Local\\"}) {
        if (name.substr(0, ns.size()) == ns) {
            name.remove_prefix(ns.size());
            break;
        }
    }
    std::string out(kindPrefix);
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || c == '.';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace platform::detail
