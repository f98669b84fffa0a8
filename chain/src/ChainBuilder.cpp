#include "ChainBuilder.h"

#include <platform/StopSignal.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string_view>

namespace chain {

namespace {

constexpr const char* ConnectFormat = "CONNECT %s:%d HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\n\r\n";
constexpr std::string_view Accepted = "200";

sockaddr_in socketAddress(in_addr address, int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr = address;
    result.sin_port = htons(static_cast<uint16_t>(port));
    return result;
}

} // namespace

ChainBuilder::ChainBuilder(const ChainSettings& settings, ProxySource source, bool singleHop)
    : m_settings(settings), m_source(source), m_singleHop(singleHop)
{}

SOCKET ChainBuilder::build()
{
    m_deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(static_cast<long long>(m_settings.timeoutMs) * BuildTimeouts);
    for (int attempt = 0; attempt < MaxBuilds && timeLeftMs() > 0; ++attempt) {
        HopSocket socket;
        switch (buildOnce(socket)) {
        case Outcome::Built:
            return socket.release();
        case Outcome::Failed:
            return INVALID_SOCKET;
        case Outcome::Refused:
            break; // the socket closes here; the next build starts afresh
        }
    }
    return INVALID_SOCKET;
}

ChainBuilder::Outcome ChainBuilder::buildOnce(HopSocket& socket)
{
    m_port = 80;
    const bool tunnels = !m_singleHop && m_settings.pathLength > (m_settings.firewall ? 0 : 1);
    if (m_settings.firewall && tunnels && m_source.getProxyListCount() <= 0) {
        return Outcome::Failed; // no public proxy to open a tunnel to
    }
    bool connected = m_settings.firewall ? connectFirewall(socket) : connectFirstPublic(socket);
    if (!connected) {
        return Outcome::Failed;
    }
    if (m_singleHop) {
        return Outcome::Built;
    }
    // The firewall proxy is no chain proxy: with it, every public proxy is a tunnel.
    for (int hop = m_settings.firewall ? 0 : 1; hop < m_settings.pathLength; ++hop) {
        Outcome outcome = openTunnel(socket);
        if (outcome != Outcome::Built) {
            return outcome;
        }
    }
    return Outcome::Built;
}

bool ChainBuilder::connectFirewall(HopSocket& socket)
{
    if (m_settings.firewallPort == 0 || m_settings.firewallPort > 65535) {
        return false; // a port that cannot be one must not be cut to another
    }
    socket = HopSocket::open(m_settings.timeoutMs);
    in_addr address{};
    address.s_addr = htonl(m_settings.firewallAddress);
    return socket.valid() &&
           socket.connectTo(socketAddress(address, static_cast<int>(m_settings.firewallPort)),
                            timeLeftMs());
}

bool ChainBuilder::connectFirstPublic(HopSocket& socket)
{
    int count = m_source.getProxyListCount();
    if (count <= 0) {
        return false; // no public proxy to start from
    }
    // Start at a random place of the list; at least one proxy is always fetched.
    std::minstd_rand random(GetTickCount());
    unsigned draws = static_cast<unsigned>(random() % (static_cast<unsigned>(count) + 1));
    for (unsigned i = 0; i < (draws == 0 ? 1 : draws); ++i) {
        fetchProxy();
    }
    // One pass over the list at most; a failed connect leaves a socket unusable, so
    // every attempt gets a fresh one.
    for (int attempt = 0; attempt < count; ++attempt) {
        if (attempt > 0) {
            const int pause = std::min(static_cast<int>(FirstHopRetryPauseMs), timeLeftMs());
            if (!platform::sleepUnlessStopped(pause) || timeLeftMs() == 0) {
                return false;
            }
            fetchProxy();
        }
        std::optional<in_addr> address = HopSocket::resolve(m_host, timeLeftMs());
        if (!address || m_port <= 0 || m_port > 65535) {
            continue;
        }
        socket = HopSocket::open(m_settings.timeoutMs);
        if (socket.valid() && socket.connectTo(socketAddress(*address, m_port), timeLeftMs())) {
            return true;
        }
        socket.close();
    }
    return false;
}

ChainBuilder::Outcome ChainBuilder::openTunnel(HopSocket& socket)
{
    fetchProxy();
    if (m_host[0] == '\0') {
        return Outcome::Failed; // "CONNECT :80" would reach nowhere
    }
    char request[HostBufferSize + 96];
    int length = std::snprintf(request, sizeof request, ConnectFormat, m_host, m_port);
    if (length <= 0 || length >= static_cast<int>(sizeof request) ||
        !socket.sendAll(std::string_view(request, static_cast<std::size_t>(length)))) {
        return Outcome::Failed;
    }
    char reply[ReplyBufferSize];
    int got = socket.receiveOnce(reply, sizeof reply, timeLeftMs());
    if (got < 0) {
        return Outcome::Failed;
    }
    if (std::string_view(reply, static_cast<std::size_t>(got)).find(Accepted) ==
        std::string_view::npos) {
        return Outcome::Refused;
    }
    if (!platform::sleepUnlessStopped(static_cast<int>(AcceptedHopPauseMs))) {
        return Outcome::Failed;
    }
    return Outcome::Built;
}

int ChainBuilder::timeLeftMs() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          m_deadline - std::chrono::steady_clock::now())
                          .count();
    return static_cast<int>(std::clamp<long long>(left, 0, m_settings.timeoutMs));
}

void ChainBuilder::fetchProxy()
{
    int reserved = 0;
    m_source.getProxy(m_host, &m_port, &reserved);
    m_host[HostBufferSize - 1] = '\0';
}

} // namespace chain
