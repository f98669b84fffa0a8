// UmbraIEExt.dll: the in-process server of the UmbraBHO class. Exports DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer and DllUnregisterServer, plus DllGetTypeLibrary (its
// type library, as data), which stands in for the resource a Windows module carries.

#include "UmbraBHO.h"

#include <platform/Modules.h>

namespace {

platform::com::ModuleLockCount g_locks;
platform::com::ClassFactory<ieext::UmbraBHO> g_factory(g_locks);

// The registration script (REGISTRY resource 102 on Windows). Registering also lists the
// class as a browser helper object; unregistering takes that entry away with the class.
constexpr const char* kRegistrationScript = R"(
HKCR
{
    UmbraIEExt.UmbraBHO.1 = s 'UmbraBHO Class'
    {
        CLSID = s '{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}'
    }
    UmbraIEExt.UmbraBHO = s 'UmbraBHO Class'
    {
        CLSID = s '{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}'
        CurVer = s 'UmbraIEExt.UmbraBHO.1'
    }
    NoRemove CLSID
    {
        ForceRemove {1380FB6B-41A0-46B3-8DCA-7F01F6E20F17} = s 'UmbraBHO Class'
        {
            ProgID = s 'UmbraIEExt.UmbraBHO.1'
            VersionIndependentProgID = s 'UmbraIEExt.UmbraBHO'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '{91217FBA-A136-49F2-829B-53EB81B8B243}'
        }
    }
}
HKLM
{
    NoRemove SOFTWARE
    {
        NoRemove Microsoft
        {
            NoRemove Windows
            {
                NoRemove CurrentVersion
                {
                    NoRemove Explorer
                    {
                        NoRemove 'Browser Helper Objects'
                        {
                            ForceRemove {1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}
                        }
                    }
                }
            }
        }
    }
}
)";

// An address inside this module, for finding its path.
void anchor() {}

constexpr GUID kClassInterfaces[] = {ieext::IID_IUmbraBHO};

// IUmbraBHO adds nothing to IDispatch: seven slots, no functions.
constexpr platform::TypeLibType kTypes[] = {
    {TKIND_INTERFACE, ieext::IID_IUmbraBHO, u"IUmbraBHO", u"IUmbraBHO Interface",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, nullptr, 0, 7, nullptr, 0},
    {TKIND_COCLASS, ieext::CLSID_UmbraBHO, u"UmbraBHO", u"UmbraBHO Class", TYPEFLAG_FCANCREATE,
     nullptr, 0, 0, kClassInterfaces, 1},
};

constexpr platform::TypeLibDescription kTypeLibrary{sizeof(platform::TypeLibDescription),
                                                    ieext::LIBID_UMBRAIEEXTLib,
                                                    0x409,
                                                    1,
                                                    0,
                                                    0,
                                                    u"UMBRAIEEXTLib",
                                                    u"UmbraIEExt 1.0 Type Library",
                                                    kTypes,
                                                    2};

} // namespace

namespace ieext {

const platform::TypeLibDescription& typeLibrary()
{
    return kTypeLibrary;
}

platform::com::TypeInfoHolder& bhoTypeInfo()
{
    static platform::com::TypeInfoHolder holder(LIBID_UMBRAIEEXTLib, 1, 0, IID_IUmbraBHO);
    return holder;
}

void endModuleBookkeeping()
{
    // The held type information keeps this module loaded.
    bhoTypeInfo().reset();
}

} // namespace ieext

UMBRAVIA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept
{
    return platform::com::classObject(clsid, ieext::CLSID_UmbraBHO, g_factory, riid, object);
}

UMBRAVIA_EXPORT HRESULT DllCanUnloadNow() noexcept
{
    if (g_locks.count() != 0) {
        return S_FALSE;
    }
    ieext::endModuleBookkeeping();
    return S_OK;
}

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    return platform::com::registerServer(kRegistrationScript,
                                         reinterpret_cast<const void*>(&anchor));
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    return platform::com::unregisterServer(kRegistrationScript, ieext::LIBID_UMBRAIEEXTLib, 1, 0,
                                           0x409, reinterpret_cast<const void*>(&anchor));
}

UMBRAVIA_EXPORT const platform::TypeLibDescription* DllGetTypeLibrary(UINT index) noexcept
{
    return index == 1 ? &ieext::typeLibrary() : nullptr;
}
