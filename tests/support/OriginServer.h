#pragma once
// A small origin server for the proxy tests, on a loopback address of its own and (by
// default) port 80. It records the exact bytes each connection sent and, in HTTP mode,
// answers every complete request (head plus Content-Length body) on a kept-alive
// connection with a 200 response whose body names the request target.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class OriginServer {
public:
    enum class Mode {
        Http,   // answer each request
        Record, // only record
        Echo,   // send every received byte back
    };
    // The body of the answer to a request with this target ("/index.html").
    using BodyFunction = std::function<std::string(const std::string& target)>;

    explicit OriginServer(Mode mode = Mode::Http, std::string address = {}, int port = 80);
    ~OriginServer();
    OriginServer(const OriginServer&) = delete;
    OriginServer& operator=(const OriginServer&) = delete;

    const std::string& address() const { return m_address; }
    int port() const { return m_port; }
    // "address" for port 80, else "address:port".
    std::string hostText() const;
    void setBody(BodyFunction body);

    // Bytes received per connection, in accept order.
    std::vector<std::string> connections() const;
    std::string received() const; // all connections' bytes, concatenated
    std::size_t connectionCount() const;
    std::size_t requestCount() const;
    // Waits until the bytes received on all connections reach count.
    bool waitForBytes(std::size_t count, int timeoutMs = 5000) const;
    bool waitForConnections(std::size_t count, int timeoutMs = 5000) const;
    // Shuts every open connection down (the proxy sees the server close).
    void closeConnections();

    // The default body: "target=<target>".
    static std::string defaultBody(const std::string& target);

private:
    void acceptLoop();
    void serve(int socket, std::size_t index);
    // Answers the complete requests at the front of pending; false when a send failed.
    bool answerRequests(int socket, std::string& pending);

    Mode m_mode;
    std::string m_address;
    int m_port;
    int m_listening = -1;
    std::thread m_acceptor;
    mutable std::mutex m_mutex; // guards everything below
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    BodyFunction m_body;
    std::vector<std::string> m_received;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::size_t m_requests = 0;
    std::size_t m_totalBytes = 0;
};

} // namespace testsupport
