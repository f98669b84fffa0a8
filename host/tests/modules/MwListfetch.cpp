// A Listfetch stand-in for the main-window tests: it only records the refresh calls.
#include "MwModule.h"

UMBRAVIA_EXPORT void NetUpdate(int fromNetwork) noexcept
{
    mwLog("Listfetch NetUpdate " + std::to_string(fromNetwork));
}

UMBRAVIA_EXPORT void UpdateProxyListEx() noexcept
{
    mwLog("Listfetch UpdateProxyListEx");
}
