#include "ChainSettings.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <algorithm>
#include <climits>

namespace chain {

namespace {

constexpr const char* InvalidRegistryData = "Invalide registry data";
constexpr const char* ChainCaption = "Chain";
constexpr const char* SettingsCaption = "Proxy Chain Settings";

std::optional<ChainSettings> fail(const char* caption)
{
    MessageBox(0, InvalidRegistryData, caption, MB_OK | MB_ICONERROR);
    return std::nullopt;
}

} // namespace

int ChainSettings::adjustPathLength(DWORD level, DWORD pathLength)
{
    DWORD length = pathLength;
    switch (level) {
    case 1:
    case 2:
        length = 1;
        break;
    case 3:
        length = 2;
        break;
    case 4:
        length = std::max<DWORD>(pathLength, 2);
        break;
    default:
        break;
    }
    return static_cast<int>(std::min<DWORD>(length, MaxPathLength));
}

int ChainSettings::effectiveTimeoutMs(DWORD connTimeout)
{
    if (connTimeout < MinTimeoutMs) {
        return static_cast<int>(DefaultTimeoutMs);
    }
    return static_cast<int>(std::min<DWORD>(connTimeout, INT_MAX));
}

std::optional<ChainSettings> ChainSettings::load()
{
    settings::Key chainKey = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey);
    if (!chainKey) {
        return fail(ChainCaption);
    }
    DWORD connTimeout = chainKey.readDword("CONNTIMEOUT").value_or(0);
    DWORD pathLength = chainKey.readDword("PATHLENGTH").value_or(0);
    if (!chainKey.readDword("PATHSELECTTYPE")) {
        return fail(SettingsCaption);
    }
    std::optional<DWORD> level =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::AnonymityLevelValue);
    if (!level) {
        return fail(SettingsCaption);
    }
    ChainSettings result;
    result.timeoutMs = effectiveTimeoutMs(connTimeout);
    result.pathLength = adjustPathLength(*level, pathLength);
    // Read access is enough here: a key that refuses writing must not turn the firewall
    // off and send the chain around it.
    settings::Key mainKey = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (mainKey && mainKey.readDword("ProxyFirewallEnabled").value_or(0) != 0) {
        result.firewall = true;
        result.firewallAddress = mainKey.readDword("ProxyFirewall").value_or(0);
        result.firewallPort = mainKey.readDword("ProxyFirePort").value_or(0);
    }
    return result;
}

} // namespace chain
