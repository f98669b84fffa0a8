#include "ProxyControl.h"

#include "ProxyServer.h"
#include "core/RuntimeSettings.h"

namespace host {

int startProxy(ProxyServer& server)
{
    int port = readProxyPortOrExit();
    if (server.IsRunning()) {
        return 0;
    }
    server.handshake().reset();
    if (server.Start(port) == 0) {
        return 0;
    }
    server.handshake().wait();
    return server.IsRunning() ? 1 : 0;
}

int stopProxy(ProxyServer& server)
{
    if (!server.IsRunning()) {
        return 0;
    }
    server.handshake().reset();
    server.Stop();
    server.handshake().wait();
    server.join();
    return 1;
}

} // namespace host
