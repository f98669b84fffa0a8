#include "FirstRequest.h"

#include "ProxyState.h"
#include "RequestText.h"
#include "core/ModuleTable.h"
#include "core/RuntimeSettings.h"

#include <platform/MessageBox.h>
#include <platform/StopSignal.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace host {

namespace {
constexpr const char* ProgramTitle = "Umbravia";
constexpr const char* FailedToConnect = "Failed to connect";
constexpr int ResolveAttempts = 5;
constexpr int ResolveTimeoutMs = 10000;
// The system's own connect bound; only the stop cuts it short.
constexpr int ConnectTimeoutMs = -1;
constexpr unsigned short OriginPort = 80;
} // namespace

std::optional<in_addr> resolveOrigin(const std::string& host)
{
    // Each lookup runs apart from this thread, so that the proxy's stop abandons it.
    for (int attempt = 0; attempt < ResolveAttempts && !platform::stopRequested(); ++attempt) {
        if (std::optional<in_addr> address = platform::resolveIPv4(host, ResolveTimeoutMs)) {
            return address;
        }
    }
    return std::nullopt;
}

SOCKET FirstRequest::run(bool& tunnel)
{
    std::optional<std::string> host = accumulate();
    if (!host) {
        return INVALID_SOCKET; // no destination: nothing connected, nothing reported
    }
    const std::string agent = m_state.lastRequest.captureUserAgent(m_head.text());
    m_state.lastRequest.setDestination(*host);
    m_state.notifyNewRequest();

    if (!request::isBrowser(agent, modernBrowsersOn) || request::isConnectRequest(m_head.text())) {
        SOCKET hop = throughSingleHop();
        tunnel = hop != INVALID_SOCKET;
        return hop;
    }
    SOCKET server = connectDirect(*host);
    if (server != INVALID_SOCKET) {
        forwardDirect(server, *host);
    }
    return server;
}

std::optional<std::string> FirstRequest::accumulate()
{
    // A client that never completes its head (a byte a second, an HTTP/0.9 line, a
    // lower-case "host:") must not hold this thread for good.
    const int timeoutMs = firstRequestTimeoutMs();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_head.full()) {
        if (!m_state.serverRunning.load()) {
            return std::nullopt;
        }
        int waitMs = -1;
        if (timeoutMs >= 0) {
            waitMs = static_cast<int>(
                std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                           deadline - std::chrono::steady_clock::now())
                                           .count()));
        }
        if (platform::waitForSocket(m_client, POLLIN, waitMs) != platform::WaitResult::Ready ||
            m_head.receiveMore(m_client) <= 0) {
            return std::nullopt;
        }
        if (auto host = request::extractHost(m_head.text())) {
            return host;
        }
    }
    return std::nullopt; // 16 KiB of head without a complete "Host:" line
}

SOCKET FirstRequest::throughSingleHop()
{
    SetVendorFn setVendor = m_state.setVendor.load();
    CreateChainFn createChain = m_state.modules.createChain;
    if (setVendor != nullptr) {
        setVendor(1);
    }
    SOCKET hop = createChain != nullptr ? createChain() : INVALID_SOCKET;
    // Single-hop mode ends with this call even when it failed, or the next chained
    // connection would leave through one hop only.
    if (setVendor != nullptr) {
        setVendor(0);
    }
    if (hop == INVALID_SOCKET) {
        // The program learns of the failure at once, not when someone answers the box;
        // the session releases the socket itself.
        shutdown(m_client, SHUT_RDWR);
        // A build cut short by the exit is no failure to tell the user about (and the
        // main thread, which shows the boxes, no longer answers).
        if (!platform::stopRequested()) {
            MessageBox(0, FailedToConnect, ProgramTitle, MB_OK);
        }
        return INVALID_SOCKET;
    }
    m_head.sendTo(hop);
    return hop;
}

SOCKET FirstRequest::connectDirect(const std::string& host)
{
    std::optional<in_addr> address = resolveOrigin(host);
    if (!address) {
        return INVALID_SOCKET;
    }
    SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (server == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    sockaddr_in origin{};
    origin.sin_family = AF_INET;
    origin.sin_addr = *address;
    origin.sin_port = htons(OriginPort); // whatever port the host text names
    if (!platform::connectWithin(server, origin, ConnectTimeoutMs)) {
        closesocket(server);
        return INVALID_SOCKET;
    }
    return server;
}

void FirstRequest::forwardDirect(SOCKET server, const std::string& host)
{
    if (m_head.length() <= 0) {
        return;
    }
    if (m_state.modules.filterRequest != nullptr &&
        (requestFilteringOn() || responseFilteringOn())) {
        m_head.filterRequest(m_state.modules, m_state.lastRequest.localAddress());
    }
    m_head.rewriteToOriginForm(host);
    m_head.sendTo(server);
}

} // namespace host
