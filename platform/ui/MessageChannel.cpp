// Message sockets between the processes of a prefix.

#include "MessageChannel.h"

#include "ThreadQueue.h"
#include "WindowManager.h"
#include "WindowTable.h"

#include <platform/Windows.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::detail {

namespace {

// One accepted connection; answers to sent messages are written to it from the threads
// that handled them, so it lives as long as one of them still needs it.
struct Connection {
    explicit Connection(int f) : fd(f) {}
    ~Connection() { ::close(fd); }
    int fd;
};

bool fillAddress(const HostPath& path, sockaddr_un* address)
{
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address->sun_path) {
        return false;
    }
    std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
    return true;
}

void sendPacket(int fd, const Packet& packet)
{
    // Small packets never block on a healthy peer; a peer that stopped reading loses the
    // answer rather than holding the answering thread.
    ::send(fd, &packet, sizeof packet, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void handlePacket(const std::shared_ptr<Connection>& connection, const Packet& packet)
{
    WindowManager& manager = WindowManager::instance();
    switch (packet.kind) {
    case PacketKind::Post:
        manager.postLocal(packet.hwnd, packet.message, packet.wParam, packet.lParam);
        break;
    case PacketKind::Send: {
        std::uint32_t sequence = packet.sequence;
        manager.sendFromOutside(packet.hwnd, packet.message, packet.wParam, packet.lParam,
                                [connection, sequence](LRESULT result, bool handled) {
                                    Packet reply{};
                                    reply.kind = PacketKind::Reply;
                                    reply.sequence = sequence;
                                    reply.result = result;
                                    reply.handled = handled ? 1 : 0;
                                    sendPacket(connection->fd, reply);
                                });
        break;
    }
    case PacketKind::Show:
    case PacketKind::Foreground:
        manager.requestShow(packet.hwnd, static_cast<int>(packet.wParam),
                            packet.kind == PacketKind::Foreground);
        break;
    case PacketKind::Reply:
        break;
    }
}

// Socket files of processes that ended without removing theirs.
void removeStaleSockets(const HostPath& runFolder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(runFolder, ec)) {
        std::string name = entry.path().filename().string();
        int pid = 0;
        unsigned long long start = 0;
        if (std::sscanf(name.c_str(), "msg-%d-%llu.sock", &pid, &start) == 2 &&
            !isAlive(ProcessIdentity{pid, start})) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

} // namespace

HostPath socketPath(const HostPath& runFolder, const ProcessIdentity& process)
{
    return runFolder / ("msg-" + std::to_string(process.pid) + "-" +
                        std::to_string(process.startTime) + ".sock");
}

MessageReceiver::MessageReceiver(int listenFd, int stopFd, HostPath path)
    : m_listenFd(listenFd), m_stopFd(stopFd), m_path(std::move(path))
{
    m_thread = std::thread([this] { run(); });
}

MessageReceiver::~MessageReceiver()
{
    ::eventfd_write(m_stopFd, 1);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    ::close(m_listenFd);
    ::close(m_stopFd);
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
}

Result<std::unique_ptr<MessageReceiver>> MessageReceiver::start(const HostPath& runFolder)
{
    removeStaleSockets(runFolder);
    HostPath path = socketPath(runFolder, selfIdentity());
    sockaddr_un address;
    if (!fillAddress(path, &address)) {
        return makeError(ERROR_INVALID_NAME,
                         "run folder path too long for a socket: " + path.string());
    }
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return makeError(ERROR_NOT_ENOUGH_MEMORY, "no socket");
    }
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 128) != 0) {
        std::string reason = std::strerror(errno);
        ::close(fd);
        return makeError(ERROR_ACCESS_DENIED, "cannot listen on " + path.string() + ": " + reason);
    }
    // Only the user's own processes may talk to our windows.
    ::chmod(path.c_str(), 0600);
    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return std::unique_ptr<MessageReceiver>(new MessageReceiver(fd, stopFd, path));
}

void MessageReceiver::run()
{
    std::vector<std::shared_ptr<Connection>> connections;
    std::vector<pollfd> fds;
    while (true) {
        fds.assign({{m_stopFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}});
        for (const auto& c : connections) {
            fds.push_back({c->fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        // A connection accepted below has no entry in fds yet: it is read from the next
        // poll on.
        const std::size_t polled = connections.size();
        if (fds[1].revents != 0) {
            int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                connections.push_back(std::make_shared<Connection>(fd));
            }
        }
        std::vector<std::shared_ptr<Connection>> open;
        for (std::size_t i = 0; i < connections.size(); ++i) {
            bool keep = true;
            if (i < polled && fds[i + 2].revents != 0) {
                Packet packet;
                while (true) {
                    ssize_t n = ::recv(connections[i]->fd, &packet, sizeof packet, MSG_DONTWAIT);
                    if (n == static_cast<ssize_t>(sizeof packet)) {
                        handlePacket(connections[i], packet);
                        continue;
                    }
                    keep = n < 0 && (errno == EAGAIN || errno == EINTR);
                    break;
                }
            }
            if (keep) {
                open.push_back(std::move(connections[i]));
            }
        }
        connections.swap(open);
    }
}

// --- sending ----------------------------------------------------------------------------

namespace {

struct OutgoingConnection {
    int fd = -1;
    std::uint32_t sequence = 0;
    bool congested = false; // the peer left its last burst unread: do not wait again
};

// How long a post waits for room when the peer's queue is full, once per burst: a peer
// that is busy catches up, one that stopped reading fails the post soon.
constexpr int kPostRoomWaitMs = 250;

// This thread's connections, by peer socket path (pid and start time are part of it, so
// a connection never outlives the peer it was made for).
struct OutgoingConnections {
    std::unordered_map<std::string, OutgoingConnection> byPath;
    ~OutgoingConnections()
    {
        for (auto& [path, c] : byPath) {
            ::close(c.fd);
        }
    }
    OutgoingConnection* get(const HostPath& runFolder, const WindowRecord& target)
    {
        HostPath path = socketPath(runFolder, target.owner);
        auto it = byPath.find(path.native());
        if (it != byPath.end()) {
            return &it->second;
        }
        if (!isAlive(target.owner)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        dropEnded();
        sockaddr_un address;
        if (!fillAddress(path, &address)) {
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0) {
            int room = 1 << 20; // bursts of posts (the system caps it)
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
        }
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            // A full backlog (EAGAIN) means the peer stopped accepting.
            SetLastError(fd >= 0 && errno == EAGAIN ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
            if (fd >= 0) {
                ::close(fd);
            }
            return nullptr;
        }
        return &byPath.emplace(path.native(), OutgoingConnection{fd, 0}).first->second;
    }
    // Closes the connections whose peer has ended. Each short-lived peer (a
    // umbravia-ctl command) would otherwise keep one descriptor here for good; looking
    // when a new peer comes keeps the count at the peers alive.
    void dropEnded()
    {
        std::vector<pollfd> fds;
        fds.reserve(byPath.size());
        for (const auto& [path, c] : byPath) {
            fds.push_back({c.fd, POLLRDHUP, 0});
        }
        if (fds.empty() || ::poll(fds.data(), fds.size(), 0) <= 0) {
            return;
        }
        for (const pollfd& fd : fds) {
            if ((fd.revents & (POLLHUP | POLLERR | POLLRDHUP | POLLNVAL)) == 0) {
                continue;
            }
            for (auto it = byPath.begin(); it != byPath.end(); ++it) {
                if (it->second.fd == fd.fd) {
                    ::close(fd.fd);
                    byPath.erase(it);
                    break;
                }
            }
        }
    }
    void drop(const HostPath& runFolder, const WindowRecord& target)
    {
        auto it = byPath.find(socketPath(runFolder, target.owner).native());
        if (it != byPath.end()) {
            ::close(it->second.fd);
            byPath.erase(it);
        }
    }
};

thread_local OutgoingConnections t_outgoing;

// Sends the packet, waiting up to waitMs for room in the peer's queue.
bool transmit(OutgoingConnection* c, const Packet& packet, int waitMs)
{
    while (true) {
        ssize_t n = ::send(c->fd, &packet, sizeof packet, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(sizeof packet)) {
            c->congested = false;
            return true;
        }
        if (n >= 0 || errno != EAGAIN || waitMs <= 0) {
            return false;
        }
        pollfd fd{c->fd, POLLOUT, 0};
        auto start = std::chrono::steady_clock::now();
        if (::poll(&fd, 1, waitMs) <= 0) {
            errno = EAGAIN;
            return false;
        }
        waitMs -= static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
    }
}

} // namespace

bool MessageSender::post(const HostPath& runFolder, const WindowRecord& target, PacketKind kind,
                         UINT message, WPARAM wParam, LPARAM lParam)
{
    OutgoingConnection* c = t_outgoing.get(runFolder, target);
    if (c == nullptr) {
        return false;
    }
    Packet packet{};
    packet.kind = kind;
    packet.hwnd = target.hwnd;
    packet.message = message;
    packet.wParam = wParam;
    packet.lParam = lParam;
    if (transmit(c, packet, c->congested ? 0 : kPostRoomWaitMs)) {
        return true;
    }
    // A full queue: the peer no longer reads its messages (Windows refuses a post to a
    // full queue as well).
    bool full = errno == EAGAIN;
    c->congested = full;
    if (!full) {
        t_outgoing.drop(runFolder, target);
    }
    SetLastError(full ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

std::optional<LRESULT> MessageSender::send(const HostPath& runFolder, const WindowRecord& target,
                                           UINT message, WPARAM wParam, LPARAM lParam)
{
    OutgoingConnection* c = t_outgoing.get(runFolder, target);
    if (c == nullptr) {
        return std::nullopt;
    }
    Packet packet{};
    packet.kind = PacketKind::Send;
    packet.hwnd = target.hwnd;
    packet.message = message;
    packet.wParam = wParam;
    packet.lParam = lParam;
    packet.sequence = ++c->sequence;
    if (!transmit(c, packet, static_cast<int>(sendTimeoutMs()))) {
        bool full = errno == EAGAIN;
        if (!full) {
            t_outgoing.drop(runFolder, target);
        }
        SetLastError(full ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    std::shared_ptr<ThreadQueue> self = ThreadQueue::current();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(sendTimeoutMs());
    while (true) {
        // Messages sent to this thread's own windows are handled while it waits, so two
        // processes sending to each other do not lock up.
        self->drainSent();
        Packet reply;
        ssize_t n = ::recv(c->fd, &reply, sizeof reply, MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(sizeof reply)) {
            if (reply.kind == PacketKind::Reply && reply.sequence == packet.sequence) {
                if (reply.handled == 0) {
                    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                    return std::nullopt;
                }
                return static_cast<LRESULT>(reply.result);
            }
            continue; // the late answer to a send that timed out earlier
        }
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            t_outgoing.drop(runFolder, target); // the peer ended
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return std::nullopt;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            SetLastError(ERROR_TIMEOUT);
            return std::nullopt;
        }
        self->waitWake(c->fd, static_cast<int>(left.count()) + 1);
    }
}

} // namespace platform::detail
