#pragma once
// Messages between processes of a prefix: every process with windows listens on its own
// Unix socket in the run folder ("msg-<pid>-<start>.sock"); a receiver thread turns what
// arrives into posts and sends on the owning threads. Senders keep one connection per
// thread and peer, so the answers to a thread's sends come back on its own connection.

#include "../src/KernelObjectsShared.h"

#include <platform/Environment.h>
#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace platform::detail {

struct WindowRecord;

enum class PacketKind : std::uint32_t { Post = 1, Send = 2, Reply = 3, Show = 4, Foreground = 5 };

struct Packet {
    PacketKind kind;
    std::uint32_t hwnd;
    std::uint32_t message;
    std::uint32_t sequence;
    std::uint64_t wParam;
    std::int64_t lParam;
    std::int64_t result;
    std::uint32_t handled;
    std::uint32_t reserved;
};

HostPath socketPath(const HostPath& runFolder, const ProcessIdentity& process);

// The listening side of one process in one prefix.
class MessageReceiver {
public:
    ~MessageReceiver();
    static Result<std::unique_ptr<MessageReceiver>> start(const HostPath& runFolder);

private:
    MessageReceiver(int listenFd, int stopFd, HostPath path);
    void run();
    int m_listenFd;
    int m_stopFd; // eventfd: written to stop the thread
    HostPath m_path;
    std::thread m_thread;
};

// The sending side, used from any thread.
class MessageSender {
public:
    // FALSE when the peer cannot be reached (GetLastError set).
    static bool post(const HostPath& runFolder, const WindowRecord& target, PacketKind kind,
                     UINT message, WPARAM wParam, LPARAM lParam);
    // The handler's result; nothing on failure (GetLastError ERROR_TIMEOUT when the peer
    // did not answer within the bound, ERROR_INVALID_WINDOW_HANDLE when it is gone).
    static std::optional<LRESULT> send(const HostPath& runFolder, const WindowRecord& target,
                                       UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace platform::detail
