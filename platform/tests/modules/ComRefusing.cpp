// An in-process server whose registration entry points always fail with E_FAIL and
// which hands out no class object.

#include <platform/Modules.h>

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    return static_cast<HRESULT>(0x80004005);
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return static_cast<HRESULT>(0x80004005);
}

// The class object is refused for every class, as a module does for one it does not serve.
UMBRAVIA_EXPORT HRESULT DllGetClassObject(const void*, const void*, void** object) noexcept
{
    if (object != nullptr) {
        *object = nullptr;
    }
    return static_cast<HRESULT>(0x80040111); // CLASS_E_CLASSNOTAVAILABLE
}
