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
    // Connects within the socket's time-out (the system's own connect time-out is far
    // longer); the socket is blocking again afterwards.
    bool connectTo(const sockaddr_in& address);
    bool sendAll(std::string_view bytes);
    // One receive of at most size bytes: the count, 0 when the peer closed, -1 on an
    // error or the time-out.
    int receiveOnce(char* buffer, int size);
    SOCKET release();
    void close();

    // A dotted IPv4 address as it is, otherwise the first IPv4 address of the name.
    static std::optional<in_addr> resolve(const char* host);

private:
    explicit HopSocket(SOCKET socket, int timeoutMs) : m_socket(socket), m_timeoutMs(timeoutMs) {}

    SOCKET m_socket = INVALID_SOCKET;
    int m_timeoutMs = 0;
};

} // namespace chain
