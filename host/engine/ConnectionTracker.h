#pragma once
// The live client connections and connection threads (setup and relay) of the engine, so
// that the host can close every connection and wait for their threads before it unloads
// the modules those threads call.

#include <platform/StopSignal.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

namespace host {

class Connection;

class ConnectionTracker {
public:
    ConnectionTracker() = default;
    ConnectionTracker(const ConnectionTracker&) = delete;
    ConnectionTracker& operator=(const ConnectionTracker&) = delete;

    // Runs body on a new detached thread that is counted until it ends and watches the
    // tracker's stop signal. False when the thread could not be started (body is then not
    // run), and always after stopAll().
    bool startThread(std::function<void()> body);
    // Shuts down both sockets of every open connection: their threads end at once.
    void shutdownAll();
    // For good: no thread starts any more, and every counted thread is woken from where it
    // blocks (its sockets, a name lookup, a connect or a pause inside a module).
    void stopAll();
    bool stopped() const;
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

    mutable std::mutex m_mutex; // guards m_connections, m_threads and m_stopped
    std::condition_variable m_idle;
    std::set<Connection*> m_connections;
    std::size_t m_threads = 0;
    bool m_stopped = false;
    const std::shared_ptr<platform::StopSignal> m_stop = std::make_shared<platform::StopSignal>();
};

} // namespace host
