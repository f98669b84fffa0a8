#include "HopSocket.h"

#include <platform/StopSignal.h>

#include <poll.h>

#include <cerrno>
#include <cstring>

namespace chain {

HopSocket& HopSocket::operator=(HopSocket&& other) noexcept
{
    if (this != &other) {
        close();
        m_timeoutMs = other.m_timeoutMs;
        m_socket = other.release();
    }
    return *this;
}

HopSocket HopSocket::open(int timeoutMs)
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return HopSocket();
    }
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return HopSocket(s, timeoutMs);
}

bool HopSocket::connectTo(const sockaddr_in& address, int timeoutMs)
{
    return platform::connectWithin(m_socket, address, timeoutMs);
}

bool HopSocket::sendAll(std::string_view bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(m_socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

int HopSocket::receiveOnce(char* buffer, int size, int timeoutMs)
{
    if (platform::waitForSocket(m_socket, POLLIN, timeoutMs) != platform::WaitResult::Ready) {
        return -1;
    }
    ssize_t n;
    do {
        n = ::recv(m_socket, buffer, static_cast<std::size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<int>(n);
}

SOCKET HopSocket::release()
{
    SOCKET s = m_socket;
    m_socket = INVALID_SOCKET;
    return s;
}

void HopSocket::close()
{
    if (m_socket != INVALID_SOCKET) {
        closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

std::optional<in_addr> HopSocket::resolve(const char* host, int timeoutMs)
{
    if (host == nullptr) {
        return std::nullopt;
    }
    return platform::resolveIPv4(host, timeoutMs);
}

} // namespace chain
