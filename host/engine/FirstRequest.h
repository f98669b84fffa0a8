#pragma once
// The first request of a direct-mode connection: read until a complete "Host:" line has
// arrived, note the program and destination, and either connect straight to the origin
// server on port 80 (the three browsers) or hand the request unchanged to one upstream
// hop from the Chain module (other programs and CONNECT: a tunnel).

#include "ChunkBuffer.h"

#include <platform/Sockets.h>

#include <optional>
#include <string>

namespace host {

struct ProxyState;

class FirstRequest {
public:
    FirstRequest(ProxyState& state, SOCKET client) : m_state(state), m_client(client) {}

    // The outgoing socket, or INVALID_SOCKET when the connection must end (the client
    // socket is then left for the caller to close). tunnel is set for a single-hop chain.
    SOCKET run(bool& tunnel);

private:
    // Receives until a host is known; nothing when the client closed or failed first, or
    // the head filled the whole buffer without a complete "Host:" line.
    std::optional<std::string> accumulate();
    SOCKET throughSingleHop();
    SOCKET connectDirect(const std::string& host);
    void forwardDirect(SOCKET server, const std::string& host);

    ProxyState& m_state;
    SOCKET m_client;
    ChunkBuffer m_head;
};

// The origin's IPv4 address: a dotted address as written, else resolved by name with up
// to five attempts in a row, each bounded to 10 s. Nothing when every attempt failed or
// the proxy's stop came first.
std::optional<in_addr> resolveOrigin(const std::string& host);

} // namespace host
