#include "Session.h"

#include "Connection.h"
#include "FirstRequest.h"
#include "ProxyState.h"
#include "Relay.h"
#include "ShortageLog.h"
#include "core/ModuleTable.h"
#include "core/RuntimeSettings.h"

#include <platform/MessageBox.h>
#include <platform/StopSignal.h>

#include <poll.h>

#include <cerrno>

namespace host {

namespace {
constexpr const char* ProgramTitle = "Umbravia";
constexpr const char* FirewallProblem = "There are problems with your Firewall Settings";

// Each chunk goes out as it arrives: without this, kept-alive responses wait for the
// delayed acknowledgement.
void sendAtOnce(SOCKET socket)
{
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}
} // namespace

void Session::noteNoThread() const
{
    if (!m_state.connections.stopped()) {
        logShortage(Shortage::Threads, EAGAIN);
    }
}

void Session::run()
{
    bool tunnel = false;
    SOCKET server = obtainOutgoing(tunnel);
    if (server == INVALID_SOCKET) {
        m_connection->shutDown();
        return; // the client socket is closed with the connection
    }
    m_connection->attachServer(server);
    recordLocalAddress(server);
    if (!m_state.serverRunning.load()) {
        m_connection->shutDown(); // stopped meanwhile: close instead of relaying
        return;
    }
    sendAtOnce(m_connection->client());
    sendAtOnce(server);
    startRelays(tunnel);
}

SOCKET Session::createChain() const
{
    CreateChainFn createChain = m_state.modules.createChain;
    return createChain != nullptr ? createChain() : INVALID_SOCKET;
}

bool Session::clientSpeaks() const
{
    return platform::waitForSocket(m_connection->client(), POLLIN, firstRequestTimeoutMs()) ==
           platform::WaitResult::Ready;
}

SOCKET Session::obtainOutgoing(bool& tunnel)
{
    const bool firewall = m_state.firewall.enabled.load();
    // Read once: an unreadable anonymity level shows its box at each read.
    const bool chained = !firewall && m_state.modules.createChain != nullptr && chainInUse() != 0;
    // Through a chain or the firewall the way out is built before the request is read; a
    // client that never says anything must not hold that way and two relay threads for
    // good, so it is built once the client has sent its first bytes, within the
    // first-request time-out.
    if ((firewall || chained) && !clientSpeaks()) {
        return INVALID_SOCKET;
    }
    if (firewall) {
        SOCKET server = createChain();
        if (server == INVALID_SOCKET && !platform::stopRequested()) {
            MessageBox(0, FirewallProblem, ProgramTitle, MB_OK); // not for a build the exit cut
        }
        return server;
    }
    if (chained) {
        return createChain();
    }
    return FirstRequest(m_state, m_connection->client()).run(tunnel);
}

void Session::recordLocalAddress(SOCKET server)
{
    if (m_state.lastRequest.hasLocalAddress()) {
        return;
    }
    sockaddr_in local{};
    socklen_t size = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (getsockname(server, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr) {
        m_state.lastRequest.setLocalAddressOnce(text);
    }
}

void Session::startRelays(bool tunnel)
{
    auto toServer = std::make_shared<Relay>(m_state, m_connection, Relay::ClientToServer, tunnel);
    auto toClient = std::make_shared<Relay>(m_state, m_connection, Relay::ServerToClient, tunnel);
    ConnectionTracker& threads = m_state.connections;
    if (!threads.startThread([toServer] { toServer->run(); })) {
        noteNoThread();
        m_connection->shutDown(); // no relay runs: the records and sockets go with us
        return;
    }
    if (!threads.startThread([toClient] { toClient->run(); })) {
        noteNoThread();
        m_connection->shutDown(); // ends the relay already running; it frees its record
    }
}

} // namespace host
