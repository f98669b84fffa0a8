#pragma once
// The settings one chain build uses, read afresh from the registry for every build:
// time-out, path length after the anonymity level, and the firewall proxy.

#include <platform/WinTypes.h>

#include <optional>

namespace chain {

struct ChainSettings {
    // A CONNTIMEOUT below this means DefaultTimeoutMs.
    static constexpr DWORD MinTimeoutMs = 100;
    static constexpr DWORD DefaultTimeoutMs = 5000;
    // No chain holds more public proxies than this, whatever PATHLENGTH says.
    static constexpr int MaxPathLength = 64;

    int timeoutMs = static_cast<int>(DefaultTimeoutMs);
    int pathLength = 0; // public proxies, after the level adjustment
    bool firewall = false;
    DWORD firewallAddress = 0; // first octet in bits 31..24
    DWORD firewallPort = 0;

    // Reads the settings; on a registry failure shows its box and returns nothing.
    static std::optional<ChainSettings> load();

    // The path length for an anonymity level: 1 or 2 -> 1, 3 -> 2, 4 -> PATHLENGTH but at
    // least 2, anything else (-1, custom) -> PATHLENGTH; capped at MaxPathLength.
    static int adjustPathLength(DWORD level, DWORD pathLength);
    static int effectiveTimeoutMs(DWORD connTimeout);
};

} // namespace chain
