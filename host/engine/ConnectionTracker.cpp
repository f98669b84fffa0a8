#include "ConnectionTracker.h"

#include "Connection.h"

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

namespace host {

namespace {
std::mutex g_failMutex; // guards the two counts below
int g_startsBeforeFailing = 0;
int g_failingStarts = 0;

bool threadStartFailsForTests()
{
    std::lock_guard lock(g_failMutex);
    if (g_failingStarts == 0) {
        return false;
    }
    if (g_startsBeforeFailing > 0) {
        --g_startsBeforeFailing;
        return false;
    }
    --g_failingStarts;
    return true;
}
// Once the last connection has gone, the memory the connection threads freed goes back
// to the system (the allocator keeps it per thread arena otherwise), at most once a
// second: after a burst of clients the host returns to its idle size.
void returnFreedMemory()
{
    static std::atomic<long long> lastTrimMs{0};
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
    long long last = lastTrimMs.load();
    if (now - last >= 1000 && lastTrimMs.compare_exchange_strong(last, now)) {
        malloc_trim(0);
    }
}
} // namespace

void ConnectionTracker::failThreadStartsForTests(int count, int after)
{
    std::lock_guard lock(g_failMutex);
    g_startsBeforeFailing = after;
    g_failingStarts = count;
}

bool ConnectionTracker::startThread(std::function<void()> body)
{
    if (threadStartFailsForTests()) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            return false;
        }
        ++m_threads;
    }
    try {
        std::thread([this, body = std::move(body)]() mutable {
            try {
                platform::StopSignal::Scope watching(m_stop);
                body();
            } catch (...) {
                // a connection thread never takes the process down; its records are freed
            }
            body = nullptr; // records and sockets go before the thread stops being counted
            bool idle = false;
            {
                std::lock_guard lock(m_mutex);
                idle = --m_threads == 0;
                if (idle) {
                    m_idle.notify_all();
                }
            }
            if (idle) {
                returnFreedMemory();
            }
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(m_mutex);
        if (--m_threads == 0) {
            m_idle.notify_all();
        }
        return false;
    }
    return true;
}

void ConnectionTracker::shutdownAll()
{
    std::lock_guard lock(m_mutex);
    for (Connection* connection : m_connections) {
        connection->shutDown();
    }
}

void ConnectionTracker::stopAll()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stop->raise();
    shutdownAll();
}

bool ConnectionTracker::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

bool ConnectionTracker::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_threads == 0; });
}

std::size_t ConnectionTracker::threadCount() const
{
    std::lock_guard lock(m_mutex);
    return m_threads;
}

std::size_t ConnectionTracker::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections.size();
}

void ConnectionTracker::add(Connection* connection)
{
    std::lock_guard lock(m_mutex);
    m_connections.insert(connection);
}

void ConnectionTracker::remove(Connection* connection)
{
    std::lock_guard lock(m_mutex);
    m_connections.erase(connection);
}

} // namespace host
