#pragma once
// One client connection's two sockets and their closed-once marker, shared by the setup
// thread and the two relay records. The relay that leaves its loop first shuts both
// sockets down, which ends the other relay's receive; the descriptors are closed when
// the last owner lets go, so no thread can ever send on a number the system has already
// given to another connection.

#include <platform/Sockets.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace host {

class ConnectionTracker;

class Connection {
public:
    Connection(ConnectionTracker& tracker, SOCKET client);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SOCKET client() const { return m_client; }
    SOCKET server() const;
    // The outgoing socket; shut down at once when the connection already was.
    void attachServer(SOCKET server);
    // Shuts both sockets down (both directions). True for the first caller only.
    bool shutDown();
    // The client has sent all it will (it half-closed, or closed): the server is told so,
    // and the response goes on flowing until the server ends it.
    void clientFinished();
    // Waits until the connection is shut down; false when the time ran out first.
    bool waitForShutDown(std::chrono::milliseconds timeout);
    // The server-to-client relay notes each chunk, so that the client's side can tell a
    // server still answering from one that waits for more of a client that has gone.
    void noteServerActivity();
    std::chrono::steady_clock::duration serverSilence() const;
    bool isShutDown() const;

private:
    ConnectionTracker& m_tracker;
    const SOCKET m_client;
    mutable std::mutex m_mutex; // guards m_server and m_shutDown
    SOCKET m_server = INVALID_SOCKET;
    bool m_shutDown = false;
    std::condition_variable m_shutDownChanged;
    std::atomic<std::chrono::steady_clock::rep> m_lastServerActivity{
        std::chrono::steady_clock::now().time_since_epoch().count()};
};

} // namespace host
