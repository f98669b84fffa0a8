#pragma once
// One CreateChain: connects the first hop (the firewall proxy, or a public proxy drawn
// from the list) and then opens a CONNECT tunnel to each further public proxy, so that
// the returned socket reaches the last proxy of the chain.

#include "ChainSettings.h"
#include "HopSocket.h"

#include <common/PluginContract.h>

#include <chrono>

namespace chain {

// Listfetch's two entry points.
struct ProxySource {
    GetProxyFn getProxy = nullptr;
    GetProxyListCountFn getProxyListCount = nullptr;
};

class ChainBuilder {
public:
    // A refused hop (no "200" in its reply) makes the whole chain be built again on a
    // fresh socket; at most this many builds are made in all.
    static constexpr int MaxBuilds = 3;
    // Pauses of the design: after every accepted tunnel, and between first-hop attempts.
    static constexpr DWORD AcceptedHopPauseMs = 500;
    static constexpr DWORD FirstHopRetryPauseMs = 1000;
    // Sizes of the design: the host text buffer and the one receive of a hop's reply.
    static constexpr int HostBufferSize = 512;
    static constexpr int ReplyBufferSize = 4096;
    // A whole build, first-hop attempts and rebuilds included, ends within this many
    // time-outs (CONNTIMEOUT): a list of dead proxies must not hold a connection for hours.
    static constexpr int BuildTimeouts = 4;

    ChainBuilder(const ChainSettings& settings, ProxySource source, bool singleHop);

    // The connected socket, or INVALID_SOCKET.
    SOCKET build();

private:
    enum class Outcome { Built, Refused, Failed };

    Outcome buildOnce(HopSocket& socket);
    bool connectFirewall(HopSocket& socket);
    bool connectFirstPublic(HopSocket& socket);
    Outcome openTunnel(HopSocket& socket);
    void fetchProxy();
    // The time a connect, lookup or reply may take now: the time-out, cut to what is left
    // of the build's deadline; 0 once that has passed.
    int timeLeftMs() const;

    ChainSettings m_settings;
    ProxySource m_source;
    bool m_singleHop;
    char m_host[HostBufferSize] = {};
    int m_port = 80;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace chain
