#pragma once
// A stop that wakes the blocking network calls of the threads it is installed on: name
// resolution, connects, waits for a reply and pauses. The proxy installs one on every
// connection thread, so that its shutdown reaches a thread that is deep inside a module
// (CreateChain) without the module knowing about it. The calls below watch the calling
// thread's signal; without one installed they behave as plain bounded calls.

#include <platform/Sockets.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Once raised it stays raised: every wait of the threads watching it ends at once.
    void raise() noexcept;
    bool raised() const noexcept;
    // Readable once raised (-1 when the system had no descriptor: then only polled).
    int fd() const noexcept { return m_fd; }

    // The signal the calling thread's waits watch; null when none is installed.
    static std::shared_ptr<StopSignal> current() noexcept;

    // Installs a signal on the calling thread for the scope's lifetime.
    class Scope {
    public:
        explicit Scope(std::shared_ptr<StopSignal> signal) noexcept;
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::shared_ptr<StopSignal> m_previous;
    };

private:
    int m_fd = -1;
    std::atomic<bool> m_raised{false};
};

enum class WaitResult { Ready, TimedOut, Stopped, Failed };

// Waits until the socket has one of events (POLLIN, POLLOUT), the time is up (timeoutMs
// < 0: no limit) or the calling thread's stop signal is raised.
WaitResult waitForSocket(SOCKET socket, short events, int timeoutMs) noexcept;
// Connects within timeoutMs (< 0: the system's own bound), or until stopped; the socket
// is blocking again afterwards. False on any failure.
bool connectWithin(SOCKET socket, const sockaddr_in& address, int timeoutMs) noexcept;
// A dotted IPv4 address as written, else the first IPv4 address of the name. The lookup
// runs on a helper thread of this library; when the time runs out (timeoutMs < 0: no
// limit) or the stop is raised the caller gets nothing at once and the lookup is
// abandoned. At most MaxPendingLookups run at a time; beyond that a lookup fails.
std::optional<in_addr> resolveIPv4(const std::string& host, int timeoutMs) noexcept;
inline constexpr int MaxPendingLookups = 256;
// Sleeps, unless the stop is raised first; false when it was.
bool sleepUnlessStopped(int milliseconds) noexcept;
// Whether the calling thread's stop signal has been raised.
bool stopRequested() noexcept;

} // namespace platform
