// Rigwright.dll: the in-process server of the Configuration class. Exports
// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and DllUnregisterServer, plus
// DllGetTypeLibrary (its type library, as data) and DllGetVersionInfo (its version
// information), which stand in for the resources a Windows module carries.

#include "Configuration.h"

#include <platform/Modules.h>

namespace {

platform::com::ModuleLockCount g_locks;
platform::com::ClassFactory<rigwright::Configuration> g_factory(g_locks);

// The registration script (REGISTRY resource 102 on Windows).
constexpr const char* kRegistrationScript = R"(
HKCR
{
    Rigwright.Configuration.1 = s 'Configuration Class'
    {
        CLSID = s '{675DCB32-8482-452F-8BDD-5E98C19ED609}'
    }
    Rigwright.Configuration = s 'Configuration Class'
    {
        CLSID = s '{675DCB32-8482-452F-8BDD-5E98C19ED609}'
        CurVer = s 'Rigwright.Configuration.1'
    }
    NoRemove CLSID
    {
        ForceRemove {675DCB32-8482-452F-8BDD-5E98C19ED609} = s 'Configuration Class'
        {
            ProgID = s 'Rigwright.Configuration.1'
            VersionIndependentProgID = s 'Rigwright.Configuration'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'TypeLib' = s '{40A10271-47EF-4860-9D71-CCAEDFE7BBFD}'
        }
    }
}
)";

constexpr platform::ModuleVersionInfo kVersion{sizeof(platform::ModuleVersionInfo),
                                               "Rigwright Module",
                                               {1, 2, 0, 0},
                                               {1, 2, 0, 0},
                                               "Rigwright",
                                               "Rigwright.DLL",
                                               "Rigwright",
                                               true};

// An address inside this module, for finding its path.
void anchor() {}

} // namespace

UMBRAVIA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept
{
    return platform::com::classObject(clsid, rigwright::CLSID_Configuration, g_factory, riid,
                                      object);
}

UMBRAVIA_EXPORT HRESULT DllCanUnloadNow() noexcept
{
    if (g_locks.count() != 0) {
        return S_FALSE;
    }
    // The held type information keeps this module loaded: let it go before the unload.
    rigwright::configurationTypeInfo().reset();
    return S_OK;
}

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    return platform::com::registerServer(kRegistrationScript,
                                         reinterpret_cast<const void*>(&anchor));
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return platform::com::unregisterServer(kRegistrationScript, rigwright::LIBID_RIGWRIGHTLib, 1, 0,
                                           0x409, reinterpret_cast<const void*>(&anchor));
}

UMBRAVIA_EXPORT const platform::TypeLibDescription* DllGetTypeLibrary(UINT index) noexcept
{
    return index == 1 ? &rigwright::typeLibrary() : nullptr;
}

UMBRAVIA_EXPORT const platform::ModuleVersionInfo* DllGetVersionInfo() noexcept
{
    return &kVersion;
}
