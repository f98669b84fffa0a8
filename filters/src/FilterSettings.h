#pragma once
// One call's snapshot of the filter settings: the request and response switches, the
// lists, the banner table and the privacy level, with the level's presets applied.

#include <platform/WinTypes.h>

#include <string>
#include <utility>
#include <vector>

namespace filters {

struct FilterSettings {
    // Req: the key's unnamed value and its switches.
    bool requestOn = false;
    bool browserShield = false;
    bool osShield = false;
    bool disableAllCookies = false;
    bool disableUnsafeCookies = false;
    bool ipMasking = false;
    bool referrerBlock = false;
    bool disableInternetCache = false;
    DWORD fakeIp = 0; // first octet in bits 31..24
    bool customFiltersOn = false;
    std::vector<std::string> customFilters;
    bool stopListOn = false;
    std::vector<std::string> stopServers;
    std::vector<std::string> trustedSites;

    // Res: the key's unnamed value and its switches.
    bool responseOn = false;
    bool blockImages = false;
    bool blockBanners = false;
    bool blockScripts = false;
    bool disableOnUnload = false;
    bool hidePageTitle = false;
    bool blockPopups = false;
    bool removeCtxMenuDis = false;
    bool removeFlash = false;
    bool removeStatusMods = false;
    bool disableTimerProc = false;

    // Banners: banner server -> replacement server, in enumeration order.
    std::vector<std::pair<std::string, std::string>> banners;

    DWORD privacyLevel = 0xFFFFFFFF; // -1: custom, 1 to 4: a preset

    // Levels 1 to 4 force the switches for this call (lists and FAKEIP stay); any other
    // level keeps the registry values.
    void applyPrivacyLevel();
};

} // namespace filters
