#pragma once
// The live client connections and connection threads (setup and relay) of the engine, so
// that the host can close every connection and wait for their threads before it unloads
// the modules those threads call.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>

namespace host {

class Connection;

class ConnectionTracker {
public:
    ConnectionTracker() = default;
    ConnectionTracker(const ConnectionTracker&) = delete;
    ConnectionTracker& operator=(const ConnectionTracker&) = delete;

    // Runs body on a new detached thread that is counted until it ends. False when the
    // thread could not be started (body is then not run).
    bool startThread(std::function<void()> body);
    // Shuts down both sockets of every open connection: their threads end at once.
    void shutdownAll();
    // Waits until no connection thread runs; false when time ran out.
    bool waitIdle(std::chrono::milliseconds timeout);
    std::size_t threadCount() const;
    std::size_t connectionCount() const;

    // Makes count thread starts fail after the next `after` ones succeed, as when the
    // system has no threads left.
    static void failThreadStartsForTests(int count, int after = 0);

private:
    friend class Connection;
    void add(Connection* connection);
    void remove(Connection* connection);

    mutable std::mutex m_mutex; // guards m_connections and m_threads
    std::condition_variable m_idle;
    std::set<Connection*> m_connections;
    std::size_t m_threads = 0;
};

} // namespace host
