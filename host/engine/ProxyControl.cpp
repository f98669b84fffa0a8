#include "ProxyControl.h"

#include "ProxyServer.h"
#include "core/RuntimeSettings.h"

#include <chrono>
#include <thread>

namespace host {

namespace {
// The old listener's port must be free again before the new one binds.
constexpr std::chrono::milliseconds PortReleasePause{1000};
} // namespace

int ProxyControl::start()
{
    int port = readProxyPortOrExit();
    if (m_server.IsRunning()) {
        return 0;
    }
    m_server.handshake().reset();
    if (m_server.Start(port) == 0) {
        return 0;
    }
    m_server.handshake().wait();
    return m_server.IsRunning() ? 1 : 0;
}

int ProxyControl::stop()
{
    if (!m_server.IsRunning()) {
        return 0;
    }
    m_server.handshake().reset();
    m_server.Stop();
    m_server.handshake().wait();
    m_server.join();
    return 1;
}

int ProxyControl::restart()
{
    stop();
    std::this_thread::sleep_for(PortReleasePause);
    return start();
}

int startProxy(ProxyServer& server)
{
    return ProxyControl(server).start();
}

int stopProxy(ProxyServer& server)
{
    return ProxyControl(server).stop();
}

} // namespace host
