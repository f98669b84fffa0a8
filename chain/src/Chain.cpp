// Chain.dll: builds the outgoing connection of the proxy host through the firewall proxy
// and public proxies (CreateChain), with the single-hop mode set through SetVendor.

#include "ChainModule.h"
#include "ChainRegistration.h"

#include <common/PluginContract.h>
#include <platform/Modules.h>

namespace {

chain::ChainModule& module()
{
    static chain::ChainModule instance;
    return instance;
}

} // namespace

UMBRAVIA_EXPORT BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) noexcept
{
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            return module().start() ? TRUE : FALSE;
        }
        if (reason == DLL_PROCESS_DETACH) {
            module().stop();
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

UMBRAVIA_EXPORT SOCKET CreateChain() noexcept
{
    try {
        return module().createChain();
    } catch (...) {
        return INVALID_SOCKET;
    }
}

// Stores the single-hop flag for the following builds and returns it; the host ignores
// the result.
UMBRAVIA_EXPORT int SetVendor(int value) noexcept
{
    module().setSingleHop(value);
    return value;
}

UMBRAVIA_EXPORT void SetMainWindow(HWND window) noexcept
{
    module().setMainWindow(window);
}

// The host refreshes the list through Listfetch itself; the module keeps no list.
UMBRAVIA_EXPORT void UpdateProxyList() noexcept {}

UMBRAVIA_EXPORT int RegisterDLL(const char* modulePath) noexcept
{
    try {
        return chain::ChainRegistration::registerModule(modulePath);
    } catch (...) {
        return 0;
    }
}

UMBRAVIA_EXPORT int UnRegisterDLL() noexcept
{
    try {
        return chain::ChainRegistration::unregisterModule();
    } catch (...) {
        return 0;
    }
}
