#include "ChunkIo.h"

#include <algorithm>
#include <cstring>

namespace host::chunkio {

int receive(SOCKET socket, iovec* spans, int count, int& waiting)
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_iov = spans;
    message.msg_iovlen = static_cast<std::size_t>(count);
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const int received = static_cast<int>(recvmsg(socket, &message, 0));
    waiting = -1;
    if (received > 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_TCP && c->cmsg_type == TCP_CM_INQ) {
                std::memcpy(&waiting, CMSG_DATA(c), sizeof waiting);
            }
        }
    }
    return received;
}

void reportWaiting(SOCKET socket)
{
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_INQ, &on, sizeof on);
}

bool sendAll(SOCKET socket, iovec* spans, int count, bool more)
{
    msghdr message{};
    message.msg_iov = spans;
    message.msg_iovlen = static_cast<std::size_t>(count);
    // A peer that has gone must not raise SIGPIPE: the next receive ends the relay.
    const int flags = MSG_NOSIGNAL | (more ? MSG_MORE : 0);
    while (message.msg_iovlen > 0) {
        if (message.msg_iov->iov_len == 0) {
            ++message.msg_iov;
            --message.msg_iovlen;
            continue;
        }
        ssize_t sent = sendmsg(socket, &message, flags);
        if (sent <= 0) {
            return false;
        }
        // A send may stop part way (a signal, a time-out): go on after the last byte sent.
        while (sent > 0) {
            const auto taken = std::min(static_cast<std::size_t>(sent), message.msg_iov->iov_len);
            message.msg_iov->iov_base = static_cast<char*>(message.msg_iov->iov_base) + taken;
            message.msg_iov->iov_len -= taken;
            sent -= static_cast<ssize_t>(taken);
            if (message.msg_iov->iov_len == 0 && sent > 0) {
                ++message.msg_iov;
                --message.msg_iovlen;
            }
        }
    }
    return true;
}

} // namespace host::chunkio
