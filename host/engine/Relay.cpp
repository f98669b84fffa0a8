#include "Relay.h"

#include "Connection.h"
#include "ProxyState.h"
#include "RequestText.h"
#include "core/ModuleTable.h"
#include "core/RuntimeSettings.h"

namespace host {

namespace {

// Whether bytes wait in the source behind the chunk just received: as the receive found
// it, or where the socket did not say, as it is now.
bool bytesWaiting(const ChunkBuffer& chunk, SOCKET source)
{
    if (chunk.waiting() >= 0) {
        return chunk.waiting() > 0;
    }
    ULONG waiting = 0;
    return ioctlsocket(source, FIONREAD, &waiting) == 0 && waiting > 0;
}

} // namespace

Relay::Relay(ProxyState& state, std::shared_ptr<Connection> connection, Direction direction,
             bool tunnel)
    : m_state(state), m_connection(std::move(connection)), m_direction(direction), m_tunnel(tunnel)
{
    SOCKET client = m_connection->client();
    SOCKET server = m_connection->server();
    m_source = direction == ClientToServer ? client : server;
    m_destination = direction == ClientToServer ? server : client;
    ChunkBuffer::reportWaiting(m_source);
}

void Relay::run()
{
    while (m_state.serverRunning.load()) {
        const int received = m_chunk.receive(m_source);
        if (received == 0 && m_direction == ClientToServer && m_state.serverRunning.load()) {
            awaitResponseEnd();
            break;
        }
        if (received <= 0 || !m_state.serverRunning.load()) {
            break;
        }
        if (m_direction == ClientToServer) {
            processRequestChunk();
        } else {
            m_connection->noteServerActivity();
            processResponseChunk();
        }
        // A full chunk with more bytes already waiting behind it: the next chunk follows at
        // once, and the socket may hand both to the peer in one delivery. Only bytes
        // already there count, so the last chunk of a response is never held back.
        const bool more = received == ChunkBuffer::Capacity && bytesWaiting(m_chunk, m_source);
        m_chunk.sendTo(m_destination, more); // a send error shows at the next receive
    }
    m_connection->shutDown();
}

void Relay::awaitResponseEnd()
{
    m_connection->clientFinished();
    // A client that closed entirely looks the same as one that only half-closed: the
    // response goes on while the server keeps sending, and a silent server ends it.
    m_connection->noteServerActivity();
    while (!m_connection->waitForShutDown(HalfCloseSilence)) {
        if (m_connection->serverSilence() >= HalfCloseSilence || !m_state.serverRunning.load()) {
            return;
        }
    }
}

void Relay::processRequestChunk()
{
    const bool chained = chainInUse() != 0; // -1 (unreadable level) counts as yes
    const bool firewall = m_state.firewall.enabled.load();
    if (chained || firewall || !m_tunnel) {
        m_state.lastRequest.captureRequest(m_chunk.text());
        m_state.notifyNewRequest();
    }
    if (m_state.modules.filterRequest != nullptr &&
        (requestFilteringOn() || (!m_tunnel && responseFilteringOn()))) {
        m_chunk.filterRequest(m_state.modules, m_state.lastRequest.localAddress());
    }
    m_state.notifyActivity();
    if (!chained && !m_tunnel && !firewall) {
        if (auto host = request::extractHost(m_chunk.text())) {
            m_chunk.rewriteToOriginForm(*host);
        } else if (auto target = request::absoluteTargetHost(m_chunk.text())) {
            // The head's "Host:" line lies beyond this chunk: its request line names the
            // host itself.
            m_chunk.rewriteToOriginForm(*target);
        }
    }
}

void Relay::processResponseChunk()
{
    if (m_state.modules.filterResponse != nullptr && !m_tunnel && responseFilteringOn()) {
        m_chunk.filterResponse(m_state.modules);
    }
}

} // namespace host
