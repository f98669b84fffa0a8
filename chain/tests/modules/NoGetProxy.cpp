// A Listfetch.dll without GetProxy, for the module start test.
#include <platform/Modules.h>

UMBRAVIA_EXPORT int GetProxyListCount() noexcept
{
    return 0;
}
