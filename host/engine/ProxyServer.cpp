#include "ProxyServer.h"

#include "Connection.h"
#include "ProxyState.h"
#include "Session.h"
#include "ShortageLog.h"
#include "core/ModuleTable.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Windows.h>

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <memory>

namespace host {

namespace {
constexpr const char* ChainCaption = "Chian";
constexpr const char* FailedLoadDllModule = "Failed to load Dll Module";
constexpr auto AcceptPause = std::chrono::milliseconds(50);
// Woken connection threads end within moments; the bound only covers a thread stuck
// where no stop reaches it, which then keeps the modules loaded.
constexpr auto ConnectionsEndWait = std::chrono::seconds(5);

bool listenOnAllAddresses()
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "LISTENALLADDRESSES")
               .value_or(0) == 1;
}
} // namespace

ProxyServer::~ProxyServer()
{
    endConnections();
}

bool ProxyServer::endConnections()
{
    Stop();
    join();
    // A relay thread may be waiting for this thread to answer a filter's notification.
    platform::SentMessageRefusal refusal;
    m_state.connections.stopAll();
    return m_state.connections.waitIdle(ConnectionsEndWait);
}

int ProxyServer::Start(int port)
{
    if (m_running.load()) {
        return 0;
    }
    m_port = port;
    auto setVendor = m_state.modules.lookup(Slot::Chain, contract::SetVendor);
    m_state.setVendor = setVendor;
    if (setVendor == nullptr) {
        MessageBox(0, FailedLoadDllModule, ChainCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    join(); // the listener of the previous run has ended or is ending
    try {
        m_listener = std::thread(&ProxyServer::listenerThread, this);
    } catch (const std::system_error&) {
        return 0;
    }
    return 1;
}

void ProxyServer::Stop()
{
    m_state.serverRunning = false;
    m_running = false;
    std::lock_guard lock(m_socketMutex);
    if (m_socket != INVALID_SOCKET) {
        shutdown(m_socket, SD_BOTH); // wakes the blocked accept; the listener closes it
    }
}

void ProxyServer::join()
{
    if (m_listener.joinable() && m_listener.get_id() != std::this_thread::get_id()) {
        m_listener.join();
    }
}

void ProxyServer::listenerThread()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        m_handshake.set();
        return;
    }
    if (!openListener()) {
        WSACleanup();
        m_handshake.set();
        return;
    }
    m_reserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    m_running = true;
    m_state.serverRunning = true;
    m_handshake.set();

    acceptLoop();
    if (m_reserve >= 0) {
        ::close(m_reserve);
        m_reserve = -1;
    }

    {
        std::lock_guard lock(m_socketMutex);
        closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    WSACleanup();
    m_handshake.set();
}

bool ProxyServer::openListener()
{
    SOCKET listening = socket(AF_INET, SOCK_STREAM, 0);
    if (listening == INVALID_SOCKET) {
        return false;
    }
    int on = 1; // a restart must not wait for the old connections' TIME_WAIT
    setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(m_port.load()));
    address.sin_addr.s_addr = htonl(listenOnAllAddresses() ? INADDR_ANY : INADDR_LOOPBACK);
    if (bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listening, SOMAXCONN) != 0) {
        closesocket(listening);
        return false;
    }
    std::lock_guard lock(m_socketMutex);
    m_socket = listening;
    return true;
}

void ProxyServer::acceptLoop()
{
    SOCKET listening = INVALID_SOCKET;
    {
        std::lock_guard lock(m_socketMutex);
        listening = m_socket;
    }
    while (m_running.load()) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        SOCKET client = accept(listening, reinterpret_cast<sockaddr*>(&peer), &size);
        if (client == INVALID_SOCKET) {
            if (m_running.load()) {
                ++m_acceptFailures; // out of descriptors, for example: skip it, pause
                refuseWaitingClient(listening, errno);
                pauseAfterFailedAccept();
            }
            continue;
        }
        m_state.lastRequest.setClientPort(ntohs(peer.sin_port));
        if (!m_running.load()) {
            closesocket(client);
            break;
        }
        newConnection(client);
    }
}

void ProxyServer::refuseWaitingClient(SOCKET listening, int error)
{
    if (error != EMFILE && error != ENFILE) {
        return;
    }
    // The accept fails before it looks at the queue: only a client actually waiting
    // is refused (and an accept with nobody waiting would block here).
    pollfd waiting{listening, POLLIN, 0};
    if (::poll(&waiting, 1, 0) != 1) {
        return;
    }
    logShortage(Shortage::Descriptors, error);
    // The waiting client is closed with the reserve descriptor, so that it learns at
    // once instead of waiting for a proxy that cannot take it.
    if (m_reserve >= 0) {
        ::close(m_reserve);
        m_reserve = -1;
        SOCKET client = accept(listening, nullptr, nullptr);
        if (client != INVALID_SOCKET) {
            closesocket(client);
        }
        m_reserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
}

void ProxyServer::pauseAfterFailedAccept() const
{
    const auto end = std::chrono::steady_clock::now() + AcceptPause;
    while (m_running.load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ProxyServer::newConnection(SOCKET client)
{
    auto connection = std::make_shared<Connection>(m_state.connections, client);
    auto session = std::make_shared<Session>(m_state, connection);
    connection.reset();
    // The setup thread takes the only reference, so the records go when it ends, not when
    // this listener gets round to returning; a thread that cannot start frees them (and
    // closes the client socket) at once.
    if (!m_state.connections.startThread([session = std::move(session)] { session->run(); })) {
        if (!m_state.connections.stopped()) {
            logShortage(Shortage::Threads, EAGAIN);
        }
    }
    m_state.notifyActivity();
}

} // namespace host
