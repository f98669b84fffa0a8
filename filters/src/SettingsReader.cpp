#include "SettingsReader.h"

#include <common/Settings.h>

#include <cstring>
#include <string>
#include <vector>

namespace filters {

namespace {

constexpr const char* CustomFiltersKey = "CUSTOMFILTERS";
constexpr const char* StopServersKey = "STOPSERVERS";
constexpr const char* TrustedSitesKey = "COOKIETRUSTEDSITES";
constexpr const char* PrivacyLevelValue = settings::PrivacyLevelValue;
constexpr const char* TimerValue = "DISABLETIMERPROC";
// List entries are read through fixed buffers: a longer entry ends the list.
constexpr DWORD NameBufferSize = 256;
constexpr DWORD DataBufferSize = 260;

bool flag(const settings::Key& key, const char* name)
{
    return key.readDword(name).value_or(0) != 0;
}

// Calls add(name, text) for every REG_SZ value with non-empty data, in enumeration
// order. Returns the status that ended the enumeration (ERROR_NO_MORE_ITEMS when every
// value was read).
template <typename Add> LONG enumerateStrings(HKEY key, Add add)
{
    for (DWORD index = 0;; ++index) {
        char name[NameBufferSize];
        DWORD nameLength = NameBufferSize;
        BYTE data[DataBufferSize];
        DWORD dataSize = DataBufferSize;
        DWORD type = REG_NONE;
        const LONG rc =
            RegEnumValue(key, index, name, &nameLength, nullptr, &type, data, &dataSize);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        const char* text = reinterpret_cast<const char*>(data);
        const std::size_t length = strnlen(text, dataSize);
        if (type == REG_SZ && length > 0) {
            add(std::string(name, strnlen(name, nameLength)), std::string(text, length));
        }
    }
}

// A list subkey of key: its switch and entries. Returns the ending status, or the
// status of the failed open.
LONG readList(const settings::Key& parent, const char* subKey, bool* enabled,
              std::vector<std::string>& entries)
{
    HKEY handle = nullptr;
    const LONG rc = RegOpenKeyEx(parent.get(), subKey, 0, KEY_READ, &handle);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    const settings::Key key(handle);
    if (enabled != nullptr) {
        *enabled = flag(key, nullptr);
    }
    return enumerateStrings(
        key.get(), [&](std::string, std::string text) { entries.push_back(std::move(text)); });
}

} // namespace

std::optional<FilterSettings> SettingsReader::forRequest()
{
    FilterSettings settings;
    if (!readRequestKey(settings) || !readResponseKey(settings) || !readLevel(settings)) {
        return std::nullopt;
    }
    return settings;
}

std::optional<FilterSettings> SettingsReader::forResponse()
{
    FilterSettings settings;
    if (!readResponseKey(settings) || !readLevel(settings)) {
        return std::nullopt;
    }
    return settings;
}

bool SettingsReader::readRequestKey(FilterSettings& s)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::RequestKey);
    if (!key) {
        return false;
    }
    s.requestOn = flag(key, nullptr);
    s.browserShield = flag(key, "BROWSERSHIELD");
    s.osShield = flag(key, "OSSHIELD");
    s.disableAllCookies = flag(key, "DISABLEALLCOOKIES");
    s.disableUnsafeCookies = flag(key, "DISABLEUNSAFECOOKIES");
    s.ipMasking = flag(key, "IPMASKING");
    s.fakeIp = key.readDword("FAKEIP").value_or(0);
    s.referrerBlock = flag(key, "REFERRERBLOCK");
    s.disableInternetCache = flag(key, "DISABLEINTERNETCACHE");
    if (readList(key, CustomFiltersKey, &s.customFiltersOn, s.customFilters) !=
        ERROR_NO_MORE_ITEMS) {
        return false;
    }
    readList(key, StopServersKey, &s.stopListOn, s.stopServers); // stops at its first error
    return readList(key, TrustedSitesKey, nullptr, s.trustedSites) == ERROR_NO_MORE_ITEMS;
}

bool SettingsReader::readResponseKey(FilterSettings& s)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ResponseKey);
    if (!key) {
        return false;
    }
    s.responseOn = flag(key, nullptr);
    s.blockImages = flag(key, "BLOCKIMAGES");
    s.blockBanners = flag(key, "BLOCKBANNERS");
    s.blockScripts = flag(key, "BLOCKSCRIPTS");
    s.disableOnUnload = flag(key, "DISABLEONUNLOAD");
    s.hidePageTitle = flag(key, "HIDEPAGETITLE");
    s.blockPopups = flag(key, "BLOCKPOPUPS");
    s.removeCtxMenuDis = flag(key, "REMOVECTXMENUDIS");
    s.removeFlash = flag(key, "REMOVEFLASH");
    s.removeStatusMods = flag(key, "REMOVESTATUSMODS");
    // The timer switch must be present: its absence marks an incomplete settings tree.
    DWORD timer = 0;
    DWORD size = sizeof timer;
    const LONG rc = RegQueryValueEx(key.get(), TimerValue, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&timer), &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS) {
        return false;
    }
    s.disableTimerProc = timer != 0;
    return true;
}

bool SettingsReader::readLevel(FilterSettings& s)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    const std::optional<DWORD> level = key.readDword(PrivacyLevelValue);
    if (!level) {
        return false;
    }
    s.privacyLevel = *level;
    return true;
}

void SettingsReader::readBanners(FilterSettings& s)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::BannersKey);
    if (!key) {
        return;
    }
    enumerateStrings(key.get(), [&](std::string server, std::string replacement) {
        s.banners.emplace_back(std::move(server), std::move(replacement));
    });
}

} // namespace filters
