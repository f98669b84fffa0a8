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

// Chain in use as the registry says it, and whether the level was unreadable (the
// message is not part of it). Asked for on every request chunk, so it is read again
// only when the registry's change stamp moved.
struct ChainSetting {
    int inUse = 0;
    bool levelUnreadable = false;
};

std::optional<ChainSetting> readChainSetting()
{
    ChainSetting setting;
    std::optional<DWORD> connectChain =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, settings::ConnectChainValue);
    if (!connectChain) {
        return std::optional<ChainSetting>(setting);
    }
    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_READ);
    std::optional<DWORD> level = main.readDword(settings::AnonymityLevelValue);
    if (!level) {
        setting.inUse = -1;
        setting.levelUnreadable = true;
    } else if (*level >= 2 && *level <= 4) {
        setting.inUse = 1;
    } else {
        setting.inUse = static_cast<int>(*connectChain);
    }
    return std::optional<ChainSetting>(setting);
}

ChainSetting chainSetting()
{
    static settings::StampedCache<ChainSetting> cache;
    thread_local settings::ThreadCopy<ChainSetting> copy;
    return *copy.get([] { return cache.get(readChainSetting); });
}

} // namespace

int chainInUse()
{
    const ChainSetting setting = chainSetting();
    // An unreadable level is told at every call, as when each call read it.
    if (setting.levelUnreadable) {
        MessageBox(0, InvalidRegistryData, Caption, MB_OK | MB_ICONERROR);
    }
    return setting.inUse;
}

namespace {

// The two filter switches, asked for on every chunk: read again only when the registry's
// change stamp moved (any write, by any process, moves it before it returns), so a chunk
// normally costs one stamp check instead of registry reads.
struct FilterSwitches {
    bool request = false;
    bool response = false;
};

std::optional<FilterSwitches> readFilterSwitches()
{
    FilterSwitches fresh;
    fresh.request =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, nullptr).value_or(0) != 0;
    fresh.response =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, nullptr).value_or(0) != 0;
    return std::optional<FilterSwitches>(fresh);
}

FilterSwitches filterSwitches()
{
    static settings::StampedCache<FilterSwitches> cache;
    thread_local settings::ThreadCopy<FilterSwitches> copy;
    return *copy.get([] { return cache.get(readFilterSwitches); });
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
