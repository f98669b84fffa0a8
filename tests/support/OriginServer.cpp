#include "OriginServer.h"

#include "TestSupport.h"

#include <platform/Text.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {

bool sendAll(int socket, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t sent = ::send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Content-Length of a request head (0 when absent).
std::size_t contentLength(const std::string& head)
{
    const std::string lower = text::lower(head);
    std::size_t at = lower.find("\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    return std::strtoul(lower.c_str() + at + 16, nullptr, 10);
}

std::string requestTarget(const std::string& head)
{
    std::size_t first = head.find(' ');
    std::size_t second = first == std::string::npos ? first : head.find(' ', first + 1);
    if (second == std::string::npos) {
        return {};
    }
    return head.substr(first + 1, second - first - 1);
}

} // namespace

OriginServer::OriginServer(Mode mode, std::string address, int port)
    : m_mode(mode), m_address(address.empty() ? uniqueLoopbackAddress() : std::move(address)),
      m_port(port), m_body(&OriginServer::defaultBody)
{
    m_listening = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(m_listening, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<unsigned short>(m_port));
    inet_pton(AF_INET, m_address.c_str(), &addr.sin_addr);
    if (bind(m_listening, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_listening, 256) != 0) {
        ::close(m_listening);
        throw std::runtime_error("origin server cannot listen on " + hostText());
    }
    m_acceptor = std::thread(&OriginServer::acceptLoop, this);
}

OriginServer::~OriginServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (int s : m_sockets) {
            if (s >= 0) {
                ::shutdown(s, SHUT_RDWR);
            }
        }
    }
    ::shutdown(m_listening, SHUT_RDWR);
    m_acceptor.join();
    ::close(m_listening);
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        threads.swap(m_threads);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

std::string OriginServer::hostText() const
{
    return m_port == 80 ? m_address : m_address + ":" + std::to_string(m_port);
}

void OriginServer::setBody(BodyFunction body)
{
    std::lock_guard lock(m_mutex);
    m_body = std::move(body);
}

std::string OriginServer::defaultBody(const std::string& target)
{
    return "target=" + target;
}

std::vector<std::string> OriginServer::connections() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::string OriginServer::received() const
{
    std::string all;
    for (const std::string& bytes : connections()) {
        all += bytes;
    }
    return all;
}

std::size_t OriginServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_received.size();
}

std::size_t OriginServer::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool OriginServer::waitForBytes(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_totalBytes >= count; });
}

bool OriginServer::waitForConnections(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_received.size() >= count; });
}

void OriginServer::closeConnections()
{
    std::lock_guard lock(m_mutex);
    for (int s : m_sockets) {
        if (s >= 0) {
            ::shutdown(s, SHUT_RDWR);
        }
    }
}

void OriginServer::acceptLoop()
{
    for (;;) {
        int client = ::accept(m_listening, nullptr, nullptr);
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            if (client >= 0) {
                ::close(client);
            }
            return;
        }
        if (client < 0) {
            continue;
        }
        int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::size_t index = m_received.size();
        m_received.emplace_back();
        m_sockets.push_back(client);
        m_threads.emplace_back(&OriginServer::serve, this, client, index);
        m_changed.notify_all();
    }
}

void OriginServer::serve(int socket, std::size_t index)
{
    std::string pending;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_received[index].append(buffer, static_cast<std::size_t>(got));
            m_totalBytes += static_cast<std::size_t>(got);
            m_changed.notify_all();
        }
        bool ok = true;
        if (m_mode == Mode::Echo) {
            ok = sendAll(socket, std::string(buffer, static_cast<std::size_t>(got)));
        } else if (m_mode == Mode::Http) {
            pending.append(buffer, static_cast<std::size_t>(got));
            ok = answerRequests(socket, pending);
        }
        if (!ok) {
            break;
        }
    }
    std::lock_guard lock(m_mutex);
    ::close(socket);
    m_sockets[index] = -1;
}

bool OriginServer::answerRequests(int socket, std::string& pending)
{
    for (;;) {
        std::size_t headEnd = pending.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            return true;
        }
        std::string head = pending.substr(0, headEnd + 4);
        std::size_t total = head.size() + contentLength(head);
        if (pending.size() < total) {
            return true;
        }
        pending.erase(0, total);
        BodyFunction body;
        {
            std::lock_guard lock(m_mutex);
            ++m_requests;
            body = m_body;
        }
        std::string content = body(requestTarget(head));
        std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(content.size()) + "\r\n\r\n" + content;
        if (!sendAll(socket, response)) {
            return false;
        }
    }
}

} // namespace testsupport
