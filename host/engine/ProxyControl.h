#pragma once
// The start and stop that the rest of the host calls: they read the port, run the
// server's Start or Stop and wait for the listener's handshake.

namespace host {

class ProxyServer;

// Reads PROXYPORT (an unreadable value ends the process after "Inavlid registry
// status"); 0 at once when the server already runs; else 1 when it now listens.
int startProxy(ProxyServer& server);
// 0 when the server does not run; otherwise stops it, waits until its accept loop has
// ended and returns 1.
int stopProxy(ProxyServer& server);

} // namespace host
