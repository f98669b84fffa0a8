// The Chain module of the main-window tests: pages, SetMainWindow and UpdateProxyList.
#include "MwModule.h"

TABLE_MODULE_CHAIN
MW_MODULE_PAGES("Chain", "Chain", nullptr)

UMBRAVIA_EXPORT void UpdateProxyList() noexcept
{
    mwLog("Chain UpdateProxyList");
}
