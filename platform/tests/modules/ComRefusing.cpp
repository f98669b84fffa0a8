// An in-process server whose registration entry points always fail with E_FAIL.

#include <platform/Modules.h>

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    return static_cast<HRESULT>(0x80004005);
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return static_cast<HRESULT>(0x80004005);
}
