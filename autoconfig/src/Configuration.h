#pragma once
// The Configuration class of Rigwright.dll: the dual IConfiguration interface, each method
// forwarded to rigwright::Operations, IDispatch served from the module's type library.
// It can be aggregated and answers IUnknown, IDispatch and IConfiguration only.

#include <common/Rigwright.h>
#include <platform/ComServer.h>

namespace rigwright {

// The compiled-in type library RIGWRIGHTLib (DllGetTypeLibrary index 1).
const platform::TypeLibDescription& typeLibrary();
// The IConfiguration type information, loaded through the registration on first use.
platform::com::TypeInfoHolder& configurationTypeInfo();

class Configuration final : public IConfiguration, public platform::com::ObjectRoot {
public:
    Configuration(IUnknown* outer, platform::com::ModuleLockCount& locks) : ObjectRoot(outer, locks)
    {}

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    HRESULT LoadIEProxySettings() override;
    HRESULT SetIEProxySettings(LONG bEnableProxy, char* Host, UINT Port) override;
    HRESULT LoadOperaProxySettings() override;
    HRESULT SetOperaProxySettings(LONG bUseHTTP, LPSTR HostName, UINT uPort) override;
    HRESULT LoadMircProxySettings() override;
    HRESULT SetMircProxySettings(LONG bEnable, LPSTR HostName, UINT uPort, LPSTR Method) override;
    HRESULT LoadWS_FTPProxySettings() override;
    HRESULT SetWS_FTPProxySettings(LONG bEnable, LPSTR Host, UINT uPort, INT FirewallType) override;
    HRESULT LoadNetscapeProxySettings() override;
    HRESULT SetNetscapeProxySettings(LPSTR Host, UINT uPort, LONG bEnable) override;
    HRESULT LoadYahooMessangerProxySettings() override;
    HRESULT SetYahooMessangerProxySettings(LONG bProxyEnable, char* HTTPProxy, UINT uProxyPort,
                                           LONG bSocksEnable, char* SocksServer, UINT uSocksPort,
                                           INT nSocksVersion) override;
    HRESULT LoadMSNProxySettings() override;
    HRESULT SetMSNProxySettings(LONG bProxyState, INT nProxyType, char* HTTPProxy,
                                UINT uProxyPort) override;
    HRESULT LoadCute_FTPProxySettings() override;
    HRESULT SetCute_FTPProxySettings(char* FireHost, UINT uFirePort, INT nFireType) override;
    HRESULT BackupConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                LONG bBackupWS_FTP, LONG bBackupCute_FTP) override;
    HRESULT RestoreConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                 LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                 LONG bBackupWS_FTP, LONG bBackupCute_FTP) override;

private:
    void* findInterface(REFIID riid) noexcept override;
};

} // namespace rigwright
