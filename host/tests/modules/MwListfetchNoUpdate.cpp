// A Listfetch stand-in without UpdateProxyListEx, for the main-window tests.
#include "MwModule.h"

UMBRAVIA_EXPORT void NetUpdate(int fromNetwork) noexcept
{
    mwLog("Listfetch NetUpdate " + std::to_string(fromNetwork));
}
