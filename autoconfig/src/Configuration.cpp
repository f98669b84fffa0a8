#include "Configuration.h"

#include "core/Operations.h"

namespace rigwright {
namespace {

// Argument types as the interface declares them: long -> VT_I4, int -> VT_INT,
// unsigned int -> VT_UINT, char* and LPSTR -> VT_LPSTR.
constexpr platform::TypeLibParam kSetIE[] = {
    {u"bEnableProxy", VT_I4}, {u"Host", VT_LPSTR}, {u"Port", VT_UINT}};
constexpr platform::TypeLibParam kSetOpera[] = {
    {u"bUseHTTP", VT_I4}, {u"HostName", VT_LPSTR}, {u"uPort", VT_UINT}};
constexpr platform::TypeLibParam kSetMirc[] = {
    {u"bEnable", VT_I4}, {u"HostName", VT_LPSTR}, {u"uPort", VT_UINT}, {u"Method", VT_LPSTR}};
constexpr platform::TypeLibParam kSetWsFtp[] = {
    {u"bEnable", VT_I4}, {u"Host", VT_LPSTR}, {u"uPort", VT_UINT}, {u"FirewallType", VT_INT}};
constexpr platform::TypeLibParam kSetNetscape[] = {
    {u"Host", VT_LPSTR}, {u"uPort", VT_UINT}, {u"bEnable", VT_I4}};
constexpr platform::TypeLibParam kSetYahoo[] = {
    {u"bProxyEnable", VT_I4},  {u"HTTPProxy", VT_LPSTR},   {u"uProxyPort", VT_UINT},
    {u"bSocksEnable", VT_I4},  {u"SocksServer", VT_LPSTR}, {u"uSocksPort", VT_UINT},
    {u"nSocksVersion", VT_INT}};
constexpr platform::TypeLibParam kSetMsn[] = {{u"bProxyState", VT_I4},
                                              {u"nProxyType", VT_INT},
                                              {u"HTTPProxy", VT_LPSTR},
                                              {u"uProxyPort", VT_UINT}};
constexpr platform::TypeLibParam kSetCuteFtp[] = {
    {u"FireHost", VT_LPSTR}, {u"uFirePort", VT_UINT}, {u"nFireType", VT_INT}};
constexpr platform::TypeLibParam kFlags[] = {
    {u"bBackupIE", VT_I4},     {u"bBackupNetscape", VT_I4}, {u"bBackupOpera", VT_I4},
    {u"bBackupMSN", VT_I4},    {u"bBackupYahoo", VT_I4},    {u"bBackupmIRC", VT_I4},
    {u"bBackupWS_FTP", VT_I4}, {u"bBackupCute_FTP", VT_I4}};

// The dispatch id of each method is its position (1 to 18); its function table slot
// follows the three IUnknown and four IDispatch methods.
constexpr platform::TypeLibFunction method(MEMBERID id, LPCOLESTR name, LPCOLESTR help,
                                           const platform::TypeLibParam* params, UINT count)
{
    return {id, name, help, INVOKE_FUNC, VT_HRESULT, params, count, UINT(6 + id)};
}

constexpr platform::TypeLibFunction kMethods[] = {
    method(1, u"LoadIEProxySettings", u"method LoadIEProxySettings", nullptr, 0),
    method(2, u"SetIEProxySettings", u"method SetIEProxySettings", kSetIE, 3),
    method(3, u"LoadOperaProxySettings", u"method LoadOperaProxySettings", nullptr, 0),
    method(4, u"SetOperaProxySettings", u"method SetOperaProxySettings", kSetOpera, 3),
    method(5, u"LoadMircProxySettings", u"method LoadMircProxySettings", nullptr, 0),
    method(6, u"SetMircProxySettings", u"method SetMircProxySettings", kSetMirc, 4),
    method(7, u"LoadWS_FTPProxySettings", u"method LoadWS_FTPProxySettings", nullptr, 0),
    method(8, u"SetWS_FTPProxySettings", u"method SetWS_FTPProxySettings", kSetWsFtp, 4),
    method(9, u"LoadNetscapeProxySettings", u"method LoadNetscapeProxySettings", nullptr, 0),
    method(10, u"SetNetscapeProxySettings", u"method SetNetscapeProxySettings", kSetNetscape, 3),
    method(11, u"LoadYahooMessangerProxySettings", u"method LoadYahooMessangerProxySettings",
           nullptr, 0),
    method(12, u"SetYahooMessangerProxySettings", u"method SetYahooMessangerProxySettings",
           kSetYahoo, 7),
    method(13, u"LoadMSNProxySettings", u"method LoadMSNProxySettings", nullptr, 0),
    method(14, u"SetMSNProxySettings", u"method SetMSNProxySettings", kSetMsn, 4),
    method(15, u"LoadCute_FTPProxySettings", u"method LoadCute_FTPProxySettings", nullptr, 0),
    method(16, u"SetCute_FTPProxySettings", u"method SetCute_FTPProxySettings", kSetCuteFtp, 3),
    method(17, u"BackupConfiguration", u"method BackupConfiguration", kFlags, 8),
    method(18, u"RestoreConfiguration", u"method RestoreConfiguration", kFlags, 8),
};

constexpr GUID kClassInterfaces[] = {IID_IConfiguration};

constexpr platform::TypeLibType kTypes[] = {
    {TKIND_INTERFACE, IID_IConfiguration, u"IConfiguration", u"IConfiguration Interface",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, kMethods, 18, 25, nullptr,
     0},
    {TKIND_COCLASS, CLSID_Configuration, u"Configuration", u"Configuration Class",
     TYPEFLAG_FCANCREATE | TYPEFLAG_FAGGREGATABLE, nullptr, 0, 0, kClassInterfaces, 1},
};

constexpr platform::TypeLibDescription kTypeLibrary{sizeof(platform::TypeLibDescription),
                                                    LIBID_RIGWRIGHTLib,
                                                    0x409,
                                                    1,
                                                    0,
                                                    0,
                                                    u"RIGWRIGHTLib",
                                                    u"Rigwright 1.0 Type Library",
                                                    kTypes,
                                                    2};

} // namespace

const platform::TypeLibDescription& typeLibrary()
{
    return kTypeLibrary;
}

platform::com::TypeInfoHolder& configurationTypeInfo()
{
    static platform::com::TypeInfoHolder holder(LIBID_RIGWRIGHTLib, 1, 0, IID_IConfiguration);
    return holder;
}

void* Configuration::findInterface(REFIID riid) noexcept
{
    if (IsEqualIID(riid, IID_IConfiguration) || IsEqualIID(riid, IID_IDispatch)) {
        return static_cast<IConfiguration*>(this);
    }
    return nullptr;
}

HRESULT Configuration::QueryInterface(REFIID riid, void** object)
{
    return outerQueryInterface(riid, object);
}

ULONG Configuration::AddRef()
{
    return outerAddRef();
}

ULONG Configuration::Release()
{
    return outerRelease();
}

HRESULT Configuration::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT Configuration::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    return platform::com::dispatchTypeInfo(configurationTypeInfo(), index, info);
}

HRESULT Configuration::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    return platform::com::dispatchIDsOfNames(configurationTypeInfo(), riid, names, count, ids);
}

HRESULT Configuration::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    return platform::com::dispatchInvoke(configurationTypeInfo(),
                                         static_cast<IConfiguration*>(this), id, riid, flags,
                                         params, result, exception, argError);
}

HRESULT Configuration::LoadIEProxySettings()
{
    return Operations::LoadIEProxySettings();
}

HRESULT Configuration::SetIEProxySettings(LONG bEnableProxy, char* Host, UINT Port)
{
    return Operations::SetIEProxySettings(bEnableProxy, Host, Port);
}

HRESULT Configuration::LoadOperaProxySettings()
{
    return Operations::LoadOperaProxySettings();
}

HRESULT Configuration::SetOperaProxySettings(LONG bUseHTTP, LPSTR HostName, UINT uPort)
{
    return Operations::SetOperaProxySettings(bUseHTTP, HostName, uPort);
}

HRESULT Configuration::LoadMircProxySettings()
{
    return Operations::LoadMircProxySettings();
}

HRESULT Configuration::SetMircProxySettings(LONG bEnable, LPSTR HostName, UINT uPort, LPSTR Method)
{
    return Operations::SetMircProxySettings(bEnable, HostName, uPort, Method);
}

HRESULT Configuration::LoadWS_FTPProxySettings()
{
    return Operations::LoadWS_FTPProxySettings();
}

HRESULT Configuration::SetWS_FTPProxySettings(LONG bEnable, LPSTR Host, UINT uPort,
                                              INT FirewallType)
{
    return Operations::SetWS_FTPProxySettings(bEnable, Host, uPort, FirewallType);
}

HRESULT Configuration::LoadNetscapeProxySettings()
{
    return Operations::LoadNetscapeProxySettings();
}

HRESULT Configuration::SetNetscapeProxySettings(LPSTR Host, UINT uPort, LONG bEnable)
{
    return Operations::SetNetscapeProxySettings(Host, uPort, bEnable);
}

HRESULT Configuration::LoadYahooMessangerProxySettings()
{
    return Operations::LoadYahooMessangerProxySettings();
}

HRESULT Configuration::SetYahooMessangerProxySettings(LONG bProxyEnable, char* HTTPProxy,
                                                      UINT uProxyPort, LONG bSocksEnable,
                                                      char* SocksServer, UINT uSocksPort,
                                                      INT nSocksVersion)
{
    return Operations::SetYahooMessangerProxySettings(
        bProxyEnable, HTTPProxy, uProxyPort, bSocksEnable, SocksServer, uSocksPort, nSocksVersion);
}

HRESULT Configuration::LoadMSNProxySettings()
{
    return Operations::LoadMSNProxySettings();
}

HRESULT Configuration::SetMSNProxySettings(LONG bProxyState, INT nProxyType, char* HTTPProxy,
                                           UINT uProxyPort)
{
    return Operations::SetMSNProxySettings(bProxyState, nProxyType, HTTPProxy, uProxyPort);
}

HRESULT Configuration::LoadCute_FTPProxySettings()
{
    return Operations::LoadCute_FTPProxySettings();
}

HRESULT Configuration::SetCute_FTPProxySettings(char* FireHost, UINT uFirePort, INT nFireType)
{
    return Operations::SetCute_FTPProxySettings(FireHost, uFirePort, nFireType);
}

HRESULT Configuration::BackupConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                           LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                           LONG bBackupWS_FTP, LONG bBackupCute_FTP)
{
    return Operations::BackupConfiguration(bBackupIE, bBackupNetscape, bBackupOpera, bBackupMSN,
                                           bBackupYahoo, bBackupmIRC, bBackupWS_FTP,
                                           bBackupCute_FTP);
}

HRESULT Configuration::RestoreConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                            LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                            LONG bBackupWS_FTP, LONG bBackupCute_FTP)
{
    return Operations::RestoreConfiguration(bBackupIE, bBackupNetscape, bBackupOpera, bBackupMSN,
                                            bBackupYahoo, bBackupmIRC, bBackupWS_FTP,
                                            bBackupCute_FTP);
}

} // namespace rigwright
