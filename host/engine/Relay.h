#pragma once
// A relay record: one direction of a client connection (0 client to server, 1 server to
// client), with its buffer and the connection's tunnel flag. Owned by the relay thread
// that runs it. Requests go a 16 KiB chunk at a time; responses a batch of chunks at a
// time, each chunk processed as its own.

#include "ChunkBatch.h"
#include "ChunkBuffer.h"

#include <chrono>
#include <memory>

namespace host {

class Connection;
struct ProxyState;

class Relay {
public:
    enum Direction { ClientToServer = 0, ServerToClient = 1 };
    static constexpr std::chrono::seconds HalfCloseSilence{2};

    Relay(ProxyState& state, std::shared_ptr<Connection> connection, Direction direction,
          bool tunnel);

    // Copies chunks until either side closes or fails or the server stops, then shuts
    // the connection down unless the other relay already has.
    void run();

private:
    // The client ended its side: tells the server and waits until it ends the response
    // (the other relay then shuts the connection down) or stays silent for
    // HalfCloseSilence.
    void awaitResponseEnd();
    void relayRequests();
    void relayResponses();
    void processRequestChunk();
    void processResponseChunk(char* chunk, int length);

    ProxyState& m_state;
    std::shared_ptr<Connection> m_connection;
    SOCKET m_source;
    SOCKET m_destination;
    Direction m_direction;
    bool m_tunnel;
    std::unique_ptr<ChunkBuffer> m_chunk; // client to server
    std::unique_ptr<ChunkBatch> m_batch;  // server to client
};

} // namespace host
