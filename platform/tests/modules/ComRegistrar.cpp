// An in-process server whose registration entry points note each call in the registry:
// HKLM\Software\Umbravia Tests\ComRegistrar, REG_SZ "LastCall" and DWORD "Calls".

#include <platform/Modules.h>
#include <platform/Registry.h>

#include <cstring>

namespace {

constexpr const char* kKey = "Software\\Umbravia Tests\\ComRegistrar";

HRESULT note(const char* call)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return static_cast<HRESULT>(0x80004005);
    }
    DWORD calls = 0;
    DWORD size = sizeof calls;
    if (RegQueryValueEx(key, "Calls", nullptr, nullptr, reinterpret_cast<LPBYTE>(&calls), &size) !=
        ERROR_SUCCESS) {
        calls = 0;
    }
    ++calls;
    RegSetValueEx(key, "Calls", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls);
    RegSetValueEx(key, "LastCall", 0, REG_SZ, reinterpret_cast<const BYTE*>(call),
                  static_cast<DWORD>(std::strlen(call) + 1));
    RegCloseKey(key);
    return 0;
}

} // namespace

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    return note("register");
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return note("unregister");
}
