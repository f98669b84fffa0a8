#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {

int freePort(const char* address)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &addr.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(fd);
    return ntohs(addr.sin_port);
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler))
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, 64) != 0) {
        ::close(m_listenFd);
        throw std::runtime_error("loopback server: cannot listen");
    }
    socklen_t length = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &length);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_acceptThread.join();
    ::close(m_listenFd);
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        threads.swap(m_threads);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void LoopbackServer::acceptLoop()
{
    while (!m_stopping) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0) {
            continue;
        }
        ++m_connections;
        std::lock_guard lock(m_mutex);
        m_threads.emplace_back([this, fd] {
            m_handler(fd, *this);
            ::close(fd);
        });
    }
}

std::vector<std::string> LoopbackServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackServer::recordRequest(const std::string& head)
{
    std::lock_guard lock(m_mutex);
    m_requests.push_back(head);
}

std::string LoopbackServer::readHead(int fd)
{
    std::string head;
    while (!m_stopping && head.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, 50);
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return "";
        }
        head.append(buffer, static_cast<size_t>(got));
    }
    return head;
}

void LoopbackServer::waitForPeerClose(int fd)
{
    while (!m_stopping) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        char buffer[4096];
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ++m_peerCloses;
            return;
        }
    }
}

bool LoopbackServer::sendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

LoopbackServer::Handler LoopbackServer::origin(std::string body)
{
    return [body](int fd, LoopbackServer& server) {
        std::string head = server.readHead(fd);
        if (head.empty()) {
            return;
        }
        server.recordRequest(head);
        sendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    };
}

LoopbackServer::Handler LoopbackServer::scriptedHop(std::string reply)
{
    return [reply](int fd, LoopbackServer& server) {
        std::string head = server.readHead(fd);
        if (head.empty()) {
            return;
        }
        server.recordRequest(head);
        if (!reply.empty()) {
            sendAll(fd, reply);
        }
        server.waitForPeerClose(fd);
    };
}

LoopbackServer::Handler LoopbackServer::fileServer(std::string statusLine, std::string body)
{
    return [statusLine, body](int fd, LoopbackServer& server) {
        std::string head = server.readHead(fd);
        if (head.empty()) {
            return;
        }
        server.recordRequest(head);
        sendAll(fd, statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    };
}

} // namespace testsupport
