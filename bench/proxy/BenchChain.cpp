// The benchmark's Chain stand-in: the engine needs SetVendor to start; the benchmark's
// browser requests go direct, so CreateChain is never asked for a hop.

#include <common/PluginContract.h>
#include <platform/Modules.h>
#include <platform/Sockets.h>

UMBRAVIA_EXPORT SOCKET CreateChain() noexcept
{
    return INVALID_SOCKET;
}

UMBRAVIA_EXPORT int SetVendor(int mode) noexcept
{
    return mode;
}
