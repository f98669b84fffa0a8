// A Listfetch.dll without GetProxyListCount, for the module start test.
#include <platform/Modules.h>

UMBRAVIA_EXPORT int GetProxy(char* host, int* port, int* reserved) noexcept
{
    host[0] = '\0';
    return 0;
}
