#pragma once
// The setup step of one accepted connection, run on its own short-lived thread: obtain
// the outgoing socket (firewall proxy, chain, or the first-request handling), note the
// local address once, and start the two relay threads.

#include <platform/Sockets.h>

#include <memory>

namespace host {

class Connection;
struct ProxyState;

class Session {
public:
    Session(ProxyState& state, std::shared_ptr<Connection> connection)
        : m_state(state), m_connection(std::move(connection))
    {}

    void run();

private:
    // The outgoing socket, or INVALID_SOCKET when the connection ends here.
    SOCKET obtainOutgoing(bool& tunnel);
    SOCKET createChain() const;
    // Whether the client sends its first bytes within the first-request time-out.
    bool clientSpeaks() const;
    void recordLocalAddress(SOCKET server);
    void startRelays(bool tunnel);
    void noteNoThread() const;

    ProxyState& m_state;
    std::shared_ptr<Connection> m_connection;
};

} // namespace host
