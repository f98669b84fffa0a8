#include "HopSocket.h"

#include <fcntl.h>
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

bool HopSocket::connectTo(const sockaddr_in& address)
{
    int flags = ::fcntl(m_socket, F_GETFL);
    if (flags < 0 || ::fcntl(m_socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    int rc = ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    bool connected = rc == 0;
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{m_socket, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, m_timeoutMs);
        } while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        connected = ready == 1 &&
                    ::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                    error == 0;
    }
    ::fcntl(m_socket, F_SETFL, flags);
    return connected;
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

int HopSocket::receiveOnce(char* buffer, int size)
{
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

std::optional<in_addr> HopSocket::resolve(const char* host)
{
    in_addr address{};
    if (host == nullptr || host[0] == '\0') {
        return std::nullopt;
    }
    if (::inet_pton(AF_INET, host, &address) == 1) {
        return address;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return address;
}

} // namespace chain
