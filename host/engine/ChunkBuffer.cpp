#include "ChunkBuffer.h"

#include "RequestText.h"
#include "core/ModuleTable.h"

#include <sys/uio.h>

#include <algorithm>
#include <cstring>

namespace host {

void ChunkBuffer::setLength(int length)
{
    m_length = length;
    data()[length] = '\0';
}

int ChunkBuffer::receive(SOCKET socket)
{
    m_large.clear();
    iovec bytes{m_bytes.data(), Capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const int received = static_cast<int>(recvmsg(socket, &message, 0));
    m_waiting = -1;
    if (received > 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_TCP && c->cmsg_type == TCP_CM_INQ) {
                std::memcpy(&m_waiting, CMSG_DATA(c), sizeof m_waiting);
            }
        }
    }
    setLength(std::max(received, 0));
    return received;
}

void ChunkBuffer::reportWaiting(SOCKET socket)
{
    const int on = 1;
    // Not every socket can (a test's socket pair cannot): waiting() then stays -1.
    setsockopt(socket, IPPROTO_TCP, TCP_INQ, &on, sizeof on);
}

int ChunkBuffer::receiveMore(SOCKET socket)
{
    int room = Capacity - m_length;
    int received = static_cast<int>(recv(socket, m_bytes.data() + m_length, room, 0));
    if (received > 0) {
        setLength(m_length + received);
    }
    return received;
}

void ChunkBuffer::filterRequest(const ModuleTable& modules, const std::string& localAddress)
{
    if (modules.filterRequest == nullptr) {
        return;
    }
    unsigned int newLength = 0;
    char* filtered = modules.filterRequest(data(), m_length, &newLength, localAddress.c_str());
    if (filtered == nullptr) {
        return;
    }
    if (newLength > static_cast<unsigned int>(Capacity)) {
        m_large.assign(filtered, filtered + newLength);
        m_large.push_back('\0');
        m_length = static_cast<int>(newLength);
    } else if (newLength > 0) {
        std::memcpy(m_bytes.data(), filtered, newLength);
        m_large.clear();
        setLength(static_cast<int>(newLength));
    }
    if (modules.freeFilteredDataBuf != nullptr) {
        modules.freeFilteredDataBuf(filtered);
    }
}

void ChunkBuffer::filterResponse(const ModuleTable& modules)
{
    if (modules.filterResponse != nullptr) {
        modules.filterResponse(data(), m_length);
    }
}

void ChunkBuffer::rewriteToOriginForm(std::string_view host)
{
    m_length = static_cast<int>(
        request::rewriteToOriginForm(data(), static_cast<std::size_t>(m_length), host));
}

bool ChunkBuffer::sendTo(SOCKET socket, bool more) const
{
    const int flags = MSG_NOSIGNAL | (more ? MSG_MORE : 0);
    const char* next = data();
    int left = m_length;
    while (left > 0) {
        // A peer that has gone must not raise SIGPIPE: the next receive ends the relay.
        ssize_t sent = send(socket, next, static_cast<std::size_t>(left), flags);
        if (sent <= 0) {
            return false;
        }
        next += sent;
        left -= static_cast<int>(sent);
    }
    return true;
}

} // namespace host
