#pragma once
// The configuration component Rigwright.dll as its callers see it: the identifiers of its
// class, interface and type library, and the dual interface IConfiguration. Callers
// create the object with CoCreateInstance(CLSID_Configuration, nullptr,
// CLSCTX_INPROC_SERVER, IID_IConfiguration, ...) and release it when done. A method
// answers S_OK, or S_FALSE when the program concerned could not be configured; a
// failure code only ever comes from COM itself.

#include <platform/OleAuto.h>

namespace rigwright {

// {675DCB32-8482-452F-8BDD-5E98C19ED609}
inline constexpr CLSID CLSID_Configuration{
    0x675DCB32, 0x8482, 0x452F, {0x8B, 0xDD, 0x5E, 0x98, 0xC1, 0x9E, 0xD6, 0x09}};
// {2DE4B501-083E-4990-8D11-635B4D4EAD1A}
inline constexpr IID IID_IConfiguration{
    0x2DE4B501, 0x083E, 0x4990, {0x8D, 0x11, 0x63, 0x5B, 0x4D, 0x4E, 0xAD, 0x1A}};
// {40A10271-47EF-4860-9D71-CCAEDFE7BBFD}, version 1.0
inline constexpr GUID LIBID_RIGWRIGHTLib{
    0x40A10271, 0x47EF, 0x4860, {0x9D, 0x71, 0xCC, 0xAE, 0xDF, 0xE7, 0xBB, 0xFD}};

inline constexpr const char* ProgId = "Rigwright.Configuration.1";
inline constexpr const char* VersionIndependentProgId = "Rigwright.Configuration";

// After IDispatch's methods, the eighteen methods in order; dispatch ids 1 to 18. `long`
// arguments are 32-bit (LONG).
struct IConfiguration : IDispatch {
    virtual HRESULT LoadIEProxySettings() = 0;
    virtual HRESULT SetIEProxySettings(LONG bEnableProxy, char* Host, UINT Port) = 0;
    virtual HRESULT LoadOperaProxySettings() = 0;
    virtual HRESULT SetOperaProxySettings(LONG bUseHTTP, LPSTR HostName, UINT uPort) = 0;
    virtual HRESULT LoadMircProxySettings() = 0;
    virtual HRESULT SetMircProxySettings(LONG bEnable, LPSTR HostName, UINT uPort,
                                         LPSTR Method) = 0;
    virtual HRESULT LoadWS_FTPProxySettings() = 0;
    virtual HRESULT SetWS_FTPProxySettings(LONG bEnable, LPSTR Host, UINT uPort,
                                           INT FirewallType) = 0;
    virtual HRESULT LoadNetscapeProxySettings() = 0;
    virtual HRESULT SetNetscapeProxySettings(LPSTR Host, UINT uPort, LONG bEnable) = 0;
    virtual HRESULT LoadYahooMessangerProxySettings() = 0;
    virtual HRESULT SetYahooMessangerProxySettings(LONG bProxyEnable, char* HTTPProxy,
                                                   UINT uProxyPort, LONG bSocksEnable,
                                                   char* SocksServer, UINT uSocksPort,
                                                   INT nSocksVersion) = 0;
    virtual HRESULT LoadMSNProxySettings() = 0;
    virtual HRESULT SetMSNProxySettings(LONG bProxyState, INT nProxyType, char* HTTPProxy,
                                        UINT uProxyPort) = 0;
    virtual HRESULT LoadCute_FTPProxySettings() = 0;
    virtual HRESULT SetCute_FTPProxySettings(char* FireHost, UINT uFirePort, INT nFireType) = 0;
    virtual HRESULT BackupConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                        LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                        LONG bBackupWS_FTP, LONG bBackupCute_FTP) = 0;
    virtual HRESULT RestoreConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                         LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                         LONG bBackupWS_FTP, LONG bBackupCute_FTP) = 0;
};

} // namespace rigwright
