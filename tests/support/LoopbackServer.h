#pragma once
// Small TCP servers on 127.0.0.1 for the chain and list tests and the benchmark: an
// origin web server, a scripted proxy hop (a fixed reply, or no reply at all) and a
// file server. Each connection runs on its own thread; everything stops with the object.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A TCP port that was free on the address a moment ago.
int freePort(const char* address = "127.0.0.1");

class LoopbackServer {
public:
    // Called per accepted connection with its socket; the socket is closed afterwards.
    using Handler = std::function<void(int fd, LoopbackServer& server)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    int connections() const { return m_connections; }
    // Connections whose peer has closed (seen by handlers that wait for it).
    int peerCloses() const { return m_peerCloses; }
    bool stopping() const { return m_stopping; }
    std::vector<std::string> requests() const;

    // For handlers: the request head (up to the blank line), "" when the peer closed
    // first or the server stops.
    std::string readHead(int fd);
    void recordRequest(const std::string& head);
    // Waits until the peer closes the connection or the server stops.
    void waitForPeerClose(int fd);
    static bool sendAll(int fd, const std::string& bytes);

    // An origin server answering every request with 200 and this body.
    static Handler origin(std::string body);
    // A proxy hop that answers the first request with reply and then closes, or, with
    // an empty reply, never answers and waits for the peer to go.
    static Handler scriptedHop(std::string reply);
    // A web server answering GET with the status line and body given.
    static Handler fileServer(std::string statusLine, std::string body);

private:
    void acceptLoop();

    Handler m_handler;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_peerCloses{0};
    std::thread m_acceptThread;
    mutable std::mutex m_mutex; // guards m_threads and m_requests
    std::vector<std::thread> m_threads;
    std::vector<std::string> m_requests;
};

} // namespace testsupport
