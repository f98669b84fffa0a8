// ComSample.dll: see ComSample.h.

#include "ComSample.h"

#include <platform/ComServer.h>
#include <platform/Modules.h>
#include <platform/Registrar.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

platform::com::ModuleLockCount g_locks;
platform::com::TypeInfoHolder g_typeInfo(LIBID_SampleLib, 1, 0, IID_ISample);

std::mutex g_callMutex;
std::string g_lastCall; // guarded by g_callMutex

void note(const std::string& call)
{
    std::lock_guard lock(g_callMutex);
    g_lastCall = call;
}

constexpr platform::TypeLibParam kRecordParams[] = {
    {u"number", VT_I4}, {u"text", VT_LPSTR}, {u"count", VT_UINT}};
constexpr platform::TypeLibParam kMeasureParams[] = {
    {u"factor", VT_R8}, {u"small", VT_I2}, {u"octet", VT_UI1}, {u"flag", VT_BOOL}};

constexpr platform::TypeLibFunction kFunctions[] = {
    {1, u"Record", u"method Record", INVOKE_FUNC, VT_HRESULT, kRecordParams, 3, 7},
    {2, u"Measure", u"method Measure", INVOKE_FUNC, VT_HRESULT, kMeasureParams, 4, 8},
    {3, u"Refuse", u"method Refuse", INVOKE_FUNC, VT_HRESULT, nullptr, 0, 9},
    {4, u"Fail", u"method Fail", INVOKE_FUNC, VT_HRESULT, nullptr, 0, 10},
};

constexpr GUID kClassInterfaces[] = {IID_ISample};

constexpr platform::TypeLibType kTypes[] = {
    {TKIND_INTERFACE, IID_ISample, u"ISample", u"ISample Interface",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, kFunctions, 4, 11, nullptr,
     0},
    {TKIND_COCLASS, CLSID_Sample, u"Sample", u"Sample Class",
     TYPEFLAG_FCANCREATE | TYPEFLAG_FAGGREGATABLE, nullptr, 0, 0, kClassInterfaces, 1},
};

constexpr platform::TypeLibDescription kTypeLibrary{
    sizeof(platform::TypeLibDescription), LIBID_SampleLib, 0x409, 1, 0, 0, u"SAMPLELib",
    u"Sample 1.0 Type Library",           kTypes,          2};

constexpr const char* kScript = R"(
HKCR
{
    Umbravia.Sample.1 = s 'Sample Class'
    {
        CLSID = s '{A4FB8EA9-190F-4CEA-8258-84D385F5CB5F}'
    }
    NoRemove CLSID
    {
        ForceRemove {A4FB8EA9-190F-4CEA-8258-84D385F5CB5F} = s 'Sample Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
        }
    }
}
)";

class Sample final : public ISample, public platform::com::ObjectRoot {
public:
    Sample(IUnknown* outer, platform::com::ModuleLockCount& locks) : ObjectRoot(outer, locks) {}

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return outerQueryInterface(riid, object);
    }
    ULONG AddRef() override { return outerAddRef(); }
    ULONG Release() override { return outerRelease(); }

    HRESULT GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        return platform::com::dispatchTypeInfo(g_typeInfo, index, info);
    }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return platform::com::dispatchIDsOfNames(g_typeInfo, riid, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) override
    {
        return platform::com::dispatchInvoke(g_typeInfo, static_cast<ISample*>(this), id, riid,
                                             flags, params, result, exception, argError);
    }

    HRESULT Record(LONG number, char* text, UINT count) override
    {
        note("Record " + std::to_string(number) + " [" + (text != nullptr ? text : "(null)") +
             "] " + std::to_string(count));
        return S_OK;
    }
    HRESULT Measure(double factor, std::int16_t small, BYTE octet, VARIANT_BOOL flag) override
    {
        char text[128];
        std::snprintf(text, sizeof text, "Measure %g %d %u %d", factor, small, octet, flag);
        note(text);
        return S_OK;
    }
    HRESULT Refuse() override
    {
        note("Refuse");
        return S_FALSE;
    }
    HRESULT Fail() override
    {
        note("Fail");
        return E_ACCESSDENIED;
    }

private:
    void* findInterface(REFIID riid) noexcept override
    {
        if (IsEqualIID(riid, IID_ISample) || IsEqualIID(riid, IID_IDispatch)) {
            return static_cast<ISample*>(this);
        }
        return nullptr;
    }
};

platform::com::ClassFactory<Sample> g_factory(g_locks);

} // namespace

UMBRAVIA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept
{
    return platform::com::classObject(clsid, CLSID_Sample, g_factory, riid, object);
}

UMBRAVIA_EXPORT HRESULT DllCanUnloadNow() noexcept
{
    if (g_locks.count() != 0) {
        return S_FALSE;
    }
    g_typeInfo.reset();
    return S_OK;
}

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    const std::string module =
        platform::modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    HRESULT hr = platform::updateRegistryFromScript(kScript, {{"MODULE", module}}, true);
    if (FAILED(hr)) {
        return hr;
    }
    ITypeLib* lib = nullptr;
    const std::u16string path = platform::toUtf16(module);
    hr = LoadTypeLib(path.c_str(), &lib);
    if (SUCCEEDED(hr)) {
        hr = RegisterTypeLib(lib, path.c_str(), nullptr);
        lib->Release();
    }
    return hr;
}

UMBRAVIA_EXPORT HRESULT DllUnregisterServer() noexcept
{
    (void)UnRegisterTypeLib(LIBID_SampleLib, 1, 0, 0, SYS_WIN64);
    return platform::updateRegistryFromScript(kScript, {{"MODULE", ""}}, false);
}

UMBRAVIA_EXPORT const platform::TypeLibDescription* DllGetTypeLibrary(UINT index) noexcept
{
    return index == 1 ? &kTypeLibrary : nullptr;
}

UMBRAVIA_EXPORT const char* ComSampleLastCall() noexcept
{
    static thread_local std::string copy;
    std::lock_guard lock(g_callMutex);
    copy = g_lastCall;
    return copy.c_str();
}
