#include "Registration.h"

#include <common/Settings.h>

namespace filters {

namespace {

constexpr const char* ModuleKeyName = "Filters.dll";
constexpr const char* PathNameValue = settings::PathNameValue;
constexpr const char* RequestSwitches[] = {
    "BROWSERSHIELD",
    "DISABLEALLCOOKIES",
    "DISABLEUNSAFECOOKIES",
    "IPMASKING",
    "OSSHIELD",
    "REFERRERBLOCK",
    "FAKEIP",
    "DISABLEINTERNETCACHE",
};
constexpr const char* SwitchedLists[] = {"CUSTOMFILTERS", "STOPSERVERS"};
constexpr const char* TrustedSitesList = "COOKIETRUSTEDSITES";
constexpr const char* ResponseSwitches[] = {
    "BLOCKBANNERS", "BLOCKIMAGES",      "BLOCKSCRIPTS", "DISABLEONUNLOAD",  "HIDEPAGETITLE",
    "BLOCKPOPUPS",  "REMOVECTXMENUDIS", "REMOVEFLASH",  "REMOVESTATUSMODS", "DISABLETIMERPROC",
};

settings::Key createUnder(const settings::Key& parent, const char* name)
{
    if (!parent) {
        return settings::Key();
    }
    return settings::Key::create(parent.get(), name);
}

} // namespace

bool Registration::registerModule(const char* modulePath)
{
    if (modulePath == nullptr) {
        return false;
    }
    const settings::Key dlls = settings::Key::create(HKEY_LOCAL_MACHINE, settings::DllsKey);
    const settings::Key module = createUnder(dlls, ModuleKeyName);
    module.writeString(PathNameValue, modulePath);

    const settings::Key request = createUnder(module, "Req");
    for (const char* name : RequestSwitches) {
        request.writeDword(name, 0);
    }
    for (const char* name : SwitchedLists) {
        createUnder(request, name).writeDword(nullptr, 0);
    }
    createUnder(request, TrustedSitesList);

    const settings::Key response = createUnder(module, "Res");
    for (const char* name : ResponseSwitches) {
        response.writeDword(name, 0);
    }
    return dlls && module && request && response;
}

bool Registration::unregisterModule()
{
    const settings::Key dlls =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::DllsKey, KEY_ALL_ACCESS);
    if (!dlls) {
        return false;
    }
    return SHDeleteKey(dlls.get(), ModuleKeyName) == ERROR_SUCCESS;
}

} // namespace filters
