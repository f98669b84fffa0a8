#pragma once
// The start and stop that the rest of the host calls, in one place: each reads the port,
// runs the server's Start or Stop and waits for the listener's handshake.

namespace host {

class ProxyServer;

class ProxyControl {
public:
    explicit ProxyControl(ProxyServer& server) : m_server(server) {}

    // Reads PROXYPORT (an unreadable value ends the process after "Inavlid registry
    // status"); 0 at once when the server already runs; else 1 when it now listens.
    int start();
    // 0 when the server does not run; otherwise stops it, waits until its accept loop has
    // ended and returns 1.
    int stop();
    // Stops the server, gives the old listener's port a moment to become free and starts
    // it again: 1 when it listens again.
    int restart();

private:
    ProxyServer& m_server;
};

// ProxyControl(server).start() and .stop().
int startProxy(ProxyServer& server);
int stopProxy(ProxyServer& server);

} // namespace host
