#include "ConnectionTracker.h"

#include "Connection.h"

#include <atomic>
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
            std::lock_guard lock(m_mutex);
            if (--m_threads == 0) {
                m_idle.notify_all();
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
