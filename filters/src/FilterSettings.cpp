#include "FilterSettings.h"

namespace filters {

void FilterSettings::applyPrivacyLevel()
{
    if (privacyLevel < 1 || privacyLevel > 4) {
        return;
    }
    const bool requestGroup = privacyLevel >= 2;  // the request shields and both lists
    const bool responseGroup = privacyLevel >= 3; // response filtering, banners, page rules
    const bool strictest = privacyLevel == 4;     // all cookies, images and scripts

    requestOn = browserShield = osShield = referrerBlock = requestGroup;
    ipMasking = disableUnsafeCookies = disableInternetCache = requestGroup;
    customFiltersOn = stopListOn = requestGroup;
    disableAllCookies = strictest;

    responseOn = blockBanners = responseGroup;
    blockImages = blockScripts = strictest;
    disableOnUnload = hidePageTitle = blockPopups = removeCtxMenuDis = responseGroup;
    removeFlash = removeStatusMods = disableTimerProc = responseGroup;
}

} // namespace filters
