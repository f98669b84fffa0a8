#pragma once
// One TCP socket of a chain build: created with its send and receive time-outs, closed
// on destruction unless handed over to the caller.

#include <platform/Sockets.h>

#include <netinet/in.h>

#include <optional>
#include <string_view>

namespace chain {

class HopSocket {
public:
    HopSocket() = default;
    ~HopSocket() { close(); }
    HopSocket(const HopSocket&) = delete;
    HopSocket& operator=(const HopSocket&) = delete;
    HopSocket(HopSocket&& other) noexcept
        : m_socket(other.release()), m_timeoutMs(other.m_timeoutMs)
    {}
    HopSocket& operator=(HopSocket&& other) noexcept;

    // A fresh TCP socket whose sends and receives time out after timeoutMs.
    static HopSocket open(int timeoutMs);

    bool valid() const { return m_socket != INVALID_SOCKET; }
    SOCKET get() const { return m_socket; }
    // Connects within timeoutMs (the system's own connect time-out is far longer), or
    // until the host's stop; the socket is blocking again afterwards.
    bool connectTo(const sockaddr_in& address, int timeoutMs);
    bool sendAll(std::string_view bytes);
    // One receive of at most size bytes within timeoutMs: the count, 0 when the peer
    // closed, -1 on an error, the time-out or the host's stop.
    int receiveOnce(char* buffer, int size, int timeoutMs);
    SOCKET release();
    void close();

    // A dotted IPv4 address as it is, otherwise the first IPv4 address of the name, found
    // within timeoutMs (a lookup that takes longer, or that the host's stop cuts, fails).
    static std::optional<in_addr> resolve(const char* host, int timeoutMs);

private:
    explicit HopSocket(SOCKET socket, int timeoutMs) : m_socket(socket), m_timeoutMs(timeoutMs) {}

    SOCKET m_socket = INVALID_SOCKET;
    int m_timeoutMs = 0;
};

} // namespace chain
