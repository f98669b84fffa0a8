#include "RuntimeSettings.h"

#include "ProcessEnd.h"

#include <common/Settings.h>
#include <common/StampedCache.h>
#include <platform/MessageBox.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace host {

namespace {
constexpr const char* Caption = "Umbravia";
constexpr const char* InvalidRegistryData = "Inavlid registry data";
constexpr const char* InvalidRegistryStatus = "Inavlid registry status";
} // namespace

namespace {

// Chain in use as the registry says it, without the message: -1 when the level is
// unreadable. Asked for on every request chunk, so it is read again only when the
// registry's change stamp moved.
int chainSetting()
{
    static settings::StampedCache<int> cache;
    return *cache.get([] {
        std::optional<DWORD> connectChain = settings::readDword(
            HKEY_LOCAL_MACHINE, settings::ChainKey, settings::ConnectChainValue);
        if (!connectChain) {
            return std::optional<int>(0);
        }
        settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_READ);
        std::optional<DWORD> level = main.readDword(settings::AnonymityLevelValue);
        if (!level) {
            return std::optional<int>(-1);
        }
        if (*level >= 2 && *level <= 4) {
            return std::optional<int>(1);
        }
        return std::optional<int>(static_cast<int>(*connectChain));
    });
}

} // namespace

int chainInUse()
{
    const int inUse = chainSetting();
    // An unreadable level is told at every call, as when each call read it.
    if (inUse < 0) {
        MessageBox(0, InvalidRegistryData, Caption, MB_OK | MB_ICONERROR);
    }
    return inUse;
}

namespace {

// The two filter switches, asked for on every chunk: read again only when the registry's
// change stamp moved (any write, by any process, moves it before it returns), so a chunk
// normally costs one stamp check instead of registry reads.
struct FilterSwitches {
    bool request = false;
    bool response = false;
};

FilterSwitches filterSwitches()
{
    static settings::StampedCache<FilterSwitches> cache;
    return *cache.get([] {
        FilterSwitches fresh;
        fresh.request =
            settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, nullptr).value_or(0) != 0;
        fresh.response =
            settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, nullptr).value_or(0) !=
            0;
        return std::optional<FilterSwitches>(fresh);
    });
}

} // namespace

bool requestFilteringOn()
{
    return filterSwitches().request;
}

bool responseFilteringOn()
{
    return filterSwitches().response;
}

bool modernBrowsersOn()
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::ModernBrowsersValue)
               .value_or(1) != 0;
}

std::optional<int> readProxyPort()
{
    std::optional<DWORD> port =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::ProxyPortValue);
    // A port outside 1-65535 is as unreadable as a missing one: cut to 16 bits it would
    // make the proxy listen somewhere else without a word.
    if (!port || *port == 0 || *port > 65535) {
        MessageBox(0, InvalidRegistryStatus, Caption, MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    return static_cast<int>(*port);
}

int readProxyPortOrExit()
{
    std::optional<int> port = readProxyPort();
    if (!port) {
        endProcessNow(0);
    }
    return *port;
}

int firstRequestTimeoutMs()
{
    constexpr DWORD DefaultSeconds = 60;
    constexpr DWORD MaxSeconds = 24 * 60 * 60; // keeps the milliseconds within an int
    const DWORD seconds =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "FIRSTREQUESTTIMEOUT")
            .value_or(DefaultSeconds);
    return seconds == 0 ? -1 : static_cast<int>(std::min(seconds, MaxSeconds) * 1000);
}

} // namespace host
