#include "Relay.h"

#include "Connection.h"
#include "ProxyState.h"
#include "RequestText.h"
#include "core/ModuleTable.h"
#include "core/RuntimeSettings.h"

namespace host {

namespace {

// Whether bytes wait in the source behind a receive: as the receive found it (waiting),
// or where the socket did not say (-1), as it is now.
bool bytesWaiting(int waiting, SOCKET source)
{
    if (waiting >= 0) {
        return waiting > 0;
    }
    ULONG now = 0;
    return ioctlsocket(source, FIONREAD, &now) == 0 && now > 0;
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
    if (direction == ClientToServer) {
        m_chunk = std::make_unique<ChunkBuffer>();
    } else {
        m_batch = std::make_unique<ChunkBatch>();
    }
    ChunkBuffer::reportWaiting(m_source);
}

void Relay::run()
{
    if (m_direction == ClientToServer) {
        relayRequests();
    } else {
        relayResponses();
    }
    m_connection->shutDown();
}

void Relay::relayRequests()
{
    ChunkBuffer& chunk = *m_chunk;
    while (m_state.serverRunning.load()) {
        const int received = chunk.receive(m_source);
        if (received == 0 && m_state.serverRunning.load()) {
            awaitResponseEnd();
            break;
        }
        if (received <= 0 || !m_state.serverRunning.load()) {
            break;
        }
        processRequestChunk();
        // A full chunk with more bytes already waiting behind it: the next chunk follows at
        // once, and the socket may hand both to the peer in one delivery. Only bytes
        // already there count, so the last chunk of a request is never held back.
        const bool more = chunk.full() && bytesWaiting(chunk.waiting(), m_source);
        chunk.sendTo(m_destination, more); // a send error shows at the next receive
    }
}

void Relay::relayResponses()
{
    ChunkBatch& batch = *m_batch;
    while (m_state.serverRunning.load()) {
        const int received = batch.receive(m_source);
        if (received <= 0 || !m_state.serverRunning.load()) {
            break;
        }
        m_connection->noteServerActivity();
        // Each chunk as if it had come with a receive of its own: a stop before a chunk
        // keeps that chunk and the ones after it back.
        int ready = 0;
        for (; ready < batch.chunkCount(); ++ready) {
            if (ready > 0 && !m_state.serverRunning.load()) {
                break;
            }
            processResponseChunk(batch.chunk(ready), batch.chunkLength(ready));
        }
        // As for requests: a full batch with more already waiting is sent on as the start
        // of what follows at once, never the end of a response.
        const bool more = batch.full() && bytesWaiting(batch.waiting(), m_source);
        batch.sendTo(m_destination, ready, more); // a send error shows at the next receive
        if (ready < batch.chunkCount()) {
            break;
        }
    }
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
    ChunkBuffer& chunk = *m_chunk;
    const bool chained = chainInUse() != 0; // -1 (unreadable level) counts as yes
    const bool firewall = m_state.firewall.enabled.load();
    if (chained || firewall || !m_tunnel) {
        m_state.lastRequest.captureRequest(chunk.text());
        m_state.notifyNewRequest();
    }
    if (m_state.modules.filterRequest != nullptr &&
        (requestFilteringOn() || (!m_tunnel && responseFilteringOn()))) {
        chunk.filterRequest(m_state.modules, m_state.lastRequest.localAddress());
    }
    m_state.notifyActivity();
    if (!chained && !m_tunnel && !firewall) {
        if (auto host = request::extractHost(chunk.text())) {
            chunk.rewriteToOriginForm(*host);
        } else if (auto target = request::absoluteTargetHost(chunk.text())) {
            // The head's "Host:" line lies beyond this chunk: its request line names the
            // host itself.
            chunk.rewriteToOriginForm(*target);
        }
    }
}

void Relay::processResponseChunk(char* chunk, int length)
{
    if (m_state.modules.filterResponse != nullptr && !m_tunnel && responseFilteringOn()) {
        m_state.modules.filterResponse(chunk, length);
    }
}

} // namespace host
