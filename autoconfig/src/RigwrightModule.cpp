// Rigwright.dll: the in-process server of the Configuration class. Exports
// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and DllUnregisterServer, plus
// DllGetTypeLibrary (its type library, as data) and DllGetVersionInfo (its version
// information), which stand in for the resources a Windows module carries.

#include "Configuration.h"

#include <platform/Modules.h>
#include <platform/Registrar.h>

#include <string>

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

std::string modulePath()
{
    return platform::modulePathOf(reinterpret_cast<const void*>(&modulePath));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

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
    try {
        const std::string module = modulePath();
        if (module.empty()) {
            return SELFREG_E_CLASS;
        }
        HRESULT hr =
            platform::updateRegistryFromScript(kRegistrationScript, {{"MODULE", module}}, true);
        if (FAILED(hr)) {
            return hr;
        }
        const std::u16string path = platform::toUtf16(module);
        const std::u16string helpDir = platform::toUtf16(folderOf(module));
        ITypeLib* lib = nullptr;
        hr = LoadTypeLib(path.c_str(), &lib);
        if (SUCCEEDED(hr)) {
            hr = RegisterTypeLib(lib, path.c_str(), helpDir.c_str());
            lib->Release();
        }
        if (FAILED(hr)) {
            // Nothing half registered: without its type library the class is unusable.
            (void)platform::updateRegistryFromScript(kRegistrationScript, {{"MODULE", module}},
                                                     false);
            return SELFREG_E_TYPELIB;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    try {
        // A library that is not registered any more is no error: unregistering twice works.
        (void)UnRegisterTypeLib(rigwright::LIBID_RIGWRIGHTLib, 1, 0, 0x409, SYS_WIN64);
        return platform::updateRegistryFromScript(kRegistrationScript, {{"MODULE", modulePath()}},
                                                  false);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

UMBRAVIA_EXPORT const platform::TypeLibDescription* DllGetTypeLibrary(UINT index) noexcept
{
    return index == 1 ? &rigwright::typeLibrary() : nullptr;
}

UMBRAVIA_EXPORT const platform::ModuleVersionInfo* DllGetVersionInfo() noexcept
{
    return &kVersion;
}
