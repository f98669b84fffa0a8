// A counting stand-in for Rigwright.dll, built only for tests: registered under the real
// class identifier, it configures nothing and writes one line per method call to
// HKCU\Software\UmbraviaTest\Rigwright, value "Calls" ("SetIEProxySettings 1 127.0.0.1
// 8080"). A DWORD value named after a method sets what that method answers (S_OK when
// absent). IDispatch is served from the real component's registered type library, so
// the tests register Rigwright.dll first and this module over it.

#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/ComServer.h>
#include <platform/Modules.h>
#include <platform/Registrar.h>

#include <string>

namespace {

constexpr const char* LogKey = "Software\\UmbraviaTest\\Rigwright";
constexpr const char* CallsValue = "Calls";

constexpr const char* kRegistrationScript = R"(
HKCR
{
    NoRemove CLSID
    {
        ForceRemove {675DCB32-8482-452F-8BDD-5E98C19ED609} = s 'Counting Configuration Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
        }
    }
}
)";

platform::com::TypeInfoHolder& typeInfo()
{
    static platform::com::TypeInfoHolder holder(rigwright::LIBID_RIGWRIGHTLib, 1, 0,
                                                rigwright::IID_IConfiguration);
    return holder;
}

std::string text(const char* s)
{
    return s != nullptr ? std::string(s) : std::string("(null)");
}

template <typename... Args> HRESULT record(const char* method, const Args&... args) noexcept
{
    try {
        std::string line = method;
        ((line += ' ', line += args), ...);
        const settings::Key key = settings::Key::create(HKEY_CURRENT_USER, LogKey);
        const std::string calls = key.readString(CallsValue).value_or("");
        key.writeString(CallsValue, calls + line + "\n");
        return static_cast<HRESULT>(key.readDword(method).value_or(S_OK));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::string n(long value)
{
    return std::to_string(value);
}

class CountingConfiguration final : public rigwright::IConfiguration,
                                    public platform::com::ObjectRoot {
public:
    CountingConfiguration(IUnknown* outer, platform::com::ModuleLockCount& locks)
        : ObjectRoot(outer, locks)
    {}

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return outerQueryInterface(riid, object);
    }
    ULONG AddRef() override { return outerAddRef(); }
    ULONG Release() override { return outerRelease(); }

    HRESULT GetTypeInfoCount(UINT* count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        return platform::com::dispatchTypeInfo(typeInfo(), index, info);
    }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return platform::com::dispatchIDsOfNames(typeInfo(), riid, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) override
    {
        return platform::com::dispatchInvoke(typeInfo(), static_cast<IConfiguration*>(this), id,
                                             riid, flags, params, result, exception, argError);
    }

    HRESULT LoadIEProxySettings() override { return record("LoadIEProxySettings"); }
    HRESULT SetIEProxySettings(LONG on, char* host, UINT port) override
    {
        return record("SetIEProxySettings", n(on), text(host), n(port));
    }
    HRESULT LoadOperaProxySettings() override { return record("LoadOperaProxySettings"); }
    HRESULT SetOperaProxySettings(LONG on, LPSTR host, UINT port) override
    {
        return record("SetOperaProxySettings", n(on), text(host), n(port));
    }
    HRESULT LoadMircProxySettings() override { return record("LoadMircProxySettings"); }
    HRESULT SetMircProxySettings(LONG on, LPSTR host, UINT port, LPSTR method) override
    {
        return record("SetMircProxySettings", n(on), text(host), n(port), text(method));
    }
    HRESULT LoadWS_FTPProxySettings() override { return record("LoadWS_FTPProxySettings"); }
    HRESULT SetWS_FTPProxySettings(LONG on, LPSTR host, UINT port, INT type) override
    {
        return record("SetWS_FTPProxySettings", n(on), text(host), n(port), n(type));
    }
    HRESULT LoadNetscapeProxySettings() override { return record("LoadNetscapeProxySettings"); }
    HRESULT SetNetscapeProxySettings(LPSTR host, UINT port, LONG on) override
    {
        return record("SetNetscapeProxySettings", text(host), n(port), n(on));
    }
    HRESULT LoadYahooMessangerProxySettings() override
    {
        return record("LoadYahooMessangerProxySettings");
    }
    HRESULT SetYahooMessangerProxySettings(LONG on, char* host, UINT port, LONG socksOn,
                                           char* socksHost, UINT socksPort,
                                           INT socksVersion) override
    {
        return record("SetYahooMessangerProxySettings", n(on), text(host), n(port), n(socksOn),
                      text(socksHost), n(socksPort), n(socksVersion));
    }
    HRESULT LoadMSNProxySettings() override { return record("LoadMSNProxySettings"); }
    HRESULT SetMSNProxySettings(LONG on, INT type, char* host, UINT port) override
    {
        return record("SetMSNProxySettings", n(on), n(type), text(host), n(port));
    }
    HRESULT LoadCute_FTPProxySettings() override { return record("LoadCute_FTPProxySettings"); }
    HRESULT SetCute_FTPProxySettings(char* host, UINT port, INT type) override
    {
        return record("SetCute_FTPProxySettings", text(host), n(port), n(type));
    }
    HRESULT BackupConfiguration(LONG ie, LONG ns, LONG op, LONG msn, LONG yahoo, LONG mirc,
                                LONG wsftp, LONG cute) override
    {
        return record("BackupConfiguration", n(ie), n(ns), n(op), n(msn), n(yahoo), n(mirc),
                      n(wsftp), n(cute));
    }
    HRESULT RestoreConfiguration(LONG ie, LONG ns, LONG op, LONG msn, LONG yahoo, LONG mirc,
                                 LONG wsftp, LONG cute) override
    {
        return record("RestoreConfiguration", n(ie), n(ns), n(op), n(msn), n(yahoo), n(mirc),
                      n(wsftp), n(cute));
    }

private:
    void* findInterface(REFIID riid) noexcept override
    {
        if (IsEqualIID(riid, rigwright::IID_IConfiguration) || IsEqualIID(riid, IID_IDispatch)) {
            return static_cast<IConfiguration*>(this);
        }
        return nullptr;
    }
};

platform::com::ModuleLockCount g_locks;
platform::com::ClassFactory<CountingConfiguration> g_factory(g_locks);

std::string modulePath()
{
    return platform::modulePathOf(reinterpret_cast<const void*>(&modulePath));
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
    typeInfo().reset();
    return S_OK;
}

UMBRAVIA_EXPORT HRESULT DllRegisterServer() noexcept
{
    try {
        return platform::updateRegistryFromScript(kRegistrationScript, {{"MODULE", modulePath()}},
                                                  true);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
