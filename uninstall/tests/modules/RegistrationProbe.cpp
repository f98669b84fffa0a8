// Stands in for one of the suite's COM modules (built as UmbraIEExt.dll, Rigwright.dll
// and UmbraIEPlugin.dll): registering creates the module's own key under
// HKLM\Software\Umbravia Tests\Registered, unregistering deletes it, so that a test sees
// which modules were unregistered.

#include <platform/Modules.h>
#include <platform/Registry.h>

#include <string>

namespace {

const std::string kKey = std::string("Software\\Umbravia Tests\\Registered\\") + PROBE_NAME;

} // namespace

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return static_cast<HRESULT>(0x80004005);
    }
    RegCloseKey(key);
    return 0;
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return SHDeleteKey(HKEY_LOCAL_MACHINE, kKey.c_str()) == ERROR_SUCCESS
               ? 0
               : static_cast<HRESULT>(0x80004005);
}
