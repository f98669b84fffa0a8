#include "Connection.h"

#include "ConnectionTracker.h"

namespace host {

Connection::Connection(ConnectionTracker& tracker, SOCKET client)
    : m_tracker(tracker), m_client(client)
{
    m_tracker.add(this);
}

Connection::~Connection()
{
    m_tracker.remove(this);
    if (m_client != INVALID_SOCKET) {
        closesocket(m_client);
    }
    if (m_server != INVALID_SOCKET) {
        closesocket(m_server);
    }
}

SOCKET Connection::server() const
{
    std::lock_guard lock(m_mutex);
    return m_server;
}

void Connection::attachServer(SOCKET server)
{
    std::lock_guard lock(m_mutex);
    m_server = server;
    if (m_shutDown && server != INVALID_SOCKET) {
        shutdown(server, SD_BOTH);
    }
}

bool Connection::shutDown()
{
    std::lock_guard lock(m_mutex);
    if (m_shutDown) {
        return false;
    }
    m_shutDown = true;
    m_shutDownChanged.notify_all();
    if (m_client != INVALID_SOCKET) {
        shutdown(m_client, SD_BOTH);
    }
    if (m_server != INVALID_SOCKET) {
        shutdown(m_server, SD_BOTH);
    }
    return true;
}

void Connection::clientFinished()
{
    std::lock_guard lock(m_mutex);
    if (!m_shutDown && m_server != INVALID_SOCKET) {
        shutdown(m_server, SD_SEND);
    }
}

bool Connection::waitForShutDown(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_shutDownChanged.wait_for(lock, timeout, [this] { return m_shutDown; });
}

void Connection::noteServerActivity()
{
    m_lastServerActivity = std::chrono::steady_clock::now().time_since_epoch().count();
}

std::chrono::steady_clock::duration Connection::serverSilence() const
{
    const std::chrono::steady_clock::duration last(m_lastServerActivity.load());
    return std::chrono::steady_clock::now().time_since_epoch() - last;
}

bool Connection::isShutDown() const
{
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

} // namespace host
