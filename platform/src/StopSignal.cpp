// Interruptible network waits for connection threads.

#include <platform/StopSignal.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {

thread_local std::shared_ptr<StopSignal> t_signal;

std::atomic<int> g_pendingLookups{0};

// A lookup's result, shared by the waiting caller and the helper thread: whichever lets
// go last frees it, so an abandoned lookup writes into memory that still exists.
struct Lookup {
    Lookup() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Lookup()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
    std::mutex mutex; // guards address and done
    std::optional<in_addr> address;
    bool done = false;
};

void lookUp(const std::shared_ptr<Lookup>& lookup, const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::optional<in_addr> address;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
        address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    }
    if (found != nullptr) {
        ::freeaddrinfo(found);
    }
    {
        std::lock_guard lock(lookup->mutex);
        lookup->address = address;
        lookup->done = true;
    }
    ::eventfd_write(lookup->fd, 1);
}

// Polls fd (may be -1) together with the thread's stop signal.
WaitResult waitFor(int fd, short events, int timeoutMs)
{
    const std::shared_ptr<StopSignal> stop = StopSignal::current();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (stop && stop->raised()) {
            return WaitResult::Stopped;
        }
        int left = -1;
        if (timeoutMs >= 0) {
            left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
            if (left <= 0) {
                return WaitResult::TimedOut;
            }
        }
        pollfd fds[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
        // Without a descriptor for the signal it is looked at every 100 ms.
        if (stop && stop->fd() < 0 && (left < 0 || left > 100)) {
            left = 100;
        }
        const int ready = ::poll(fds, 2, left);
        if (ready < 0 && errno != EINTR) {
            return WaitResult::Failed;
        }
        if (ready > 0 && fds[1].revents != 0) {
            return WaitResult::Stopped;
        }
        if (ready > 0 && fds[0].revents != 0) {
            return WaitResult::Ready;
        }
    }
}

} // namespace

StopSignal::StopSignal() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void StopSignal::raise() noexcept
{
    // The flag first: a thread woken by the descriptor must find the stop raised.
    m_raised.store(true);
    if (m_fd >= 0) {
        ::eventfd_write(m_fd, 1); // the count stays non-zero: nobody reads it
    }
}

bool StopSignal::raised() const noexcept
{
    return m_raised.load();
}

std::shared_ptr<StopSignal> StopSignal::current() noexcept
{
    return t_signal;
}

StopSignal::Scope::Scope(std::shared_ptr<StopSignal> signal) noexcept
    : m_previous(std::move(t_signal))
{
    t_signal = std::move(signal);
}

StopSignal::Scope::~Scope()
{
    t_signal = std::move(m_previous);
}

WaitResult waitForSocket(SOCKET socket, short events, int timeoutMs) noexcept
{
    return waitFor(socket, events, timeoutMs);
}

bool connectWithin(SOCKET socket, const sockaddr_in& address, int timeoutMs) noexcept
{
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    bool connected =
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && errno == EINPROGRESS &&
        waitFor(socket, POLLOUT, timeoutMs) == WaitResult::Ready) {
        int error = 0;
        socklen_t length = sizeof error;
        connected = ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ::fcntl(socket, F_SETFL, flags);
    return connected;
}

std::optional<in_addr> resolveIPv4(const std::string& host, int timeoutMs) noexcept
{
    in_addr address{};
    if (host.empty() || host.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return address;
    }
    if (stopRequested()) {
        return std::nullopt;
    }
    try {
        auto lookup = std::make_shared<Lookup>();
        if (lookup->fd < 0 || ++g_pendingLookups > MaxPendingLookups) {
            if (lookup->fd >= 0) {
                --g_pendingLookups;
            }
            return std::nullopt;
        }
        try {
            std::thread([lookup, host] {
                lookUp(lookup, host);
                --g_pendingLookups;
            }).detach();
        } catch (const std::system_error&) {
            --g_pendingLookups;
            return std::nullopt;
        }
        if (waitFor(lookup->fd, POLLIN, timeoutMs) != WaitResult::Ready) {
            return std::nullopt; // abandoned: the helper frees the lookup when it is done
        }
        std::lock_guard lock(lookup->mutex);
        return lookup->done ? lookup->address : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

bool sleepUnlessStopped(int milliseconds) noexcept
{
    return waitFor(-1, 0, milliseconds) != WaitResult::Stopped;
}

bool stopRequested() noexcept
{
    const std::shared_ptr<StopSignal> stop = StopSignal::current();
    return stop && stop->raised();
}

} // namespace platform
