// Listfetch.dll: the public proxy list for the chain (GetProxy, GetProxyListCount) and
// its refresh by the host (NetUpdate, UpdateProxyListEx).

#include "ListfetchModule.h"

#include <common/PluginContract.h>

#include <algorithm>
#include <cstring>

namespace {

listfetch::ListfetchModule& module()
{
    static listfetch::ListfetchModule instance;
    return instance;
}

// The caller's host buffer holds 512 bytes.
constexpr std::size_t HostBufferSize = 512;

} // namespace

UMBRAVIA_EXPORT void NetUpdate(int fromNetwork) noexcept
{
    module().setFromNetwork(fromNetwork);
}

UMBRAVIA_EXPORT void UpdateProxyListEx() noexcept
{
    try {
        module().update();
    } catch (...) {
        OutputDebugString("Listfetch: the list refresh failed\n");
    }
}

UMBRAVIA_EXPORT int GetProxyListCount() noexcept
{
    try {
        return module().count();
    } catch (...) {
        return 0;
    }
}

// Writes the entry under the shared cursor; an empty host (and the port unchanged)
// while the list is empty. 1 when an entry was written, else 0.
UMBRAVIA_EXPORT int GetProxy(char* host, int* port, int* reserved) noexcept
{
    if (host == nullptr) {
        return 0;
    }
    host[0] = '\0';
    try {
        listfetch::ProxyEntry entry;
        if (!module().next(entry)) {
            return 0;
        }
        std::size_t length = std::min(entry.host.size(), HostBufferSize - 1);
        std::memcpy(host, entry.host.data(), length);
        host[length] = '\0';
        if (port != nullptr) {
            *port = entry.port;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}
