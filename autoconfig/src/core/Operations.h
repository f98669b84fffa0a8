#pragma once
// What the Configuration object does, apart from COM: the sixteen program configurators
// and the backup and restore of their settings. Each call is self-contained (it holds no
// state between calls), shows its own message boxes and answers S_OK or S_FALSE only, so
// the COM class forwards its eighteen methods here one to one.

#include "core/Report.h"

#include <platform/WinTypes.h>

namespace rigwright {

class Operations {
public:
    static HRESULT LoadIEProxySettings() noexcept;
    static HRESULT SetIEProxySettings(LONG bEnableProxy, const char* host, UINT port) noexcept;
    static HRESULT LoadOperaProxySettings() noexcept;
    static HRESULT SetOperaProxySettings(LONG bUseHTTP, const char* hostName, UINT uPort) noexcept;
    static HRESULT LoadMircProxySettings() noexcept;
    static HRESULT SetMircProxySettings(LONG bEnable, const char* hostName, UINT uPort,
                                        const char* method) noexcept;
    static HRESULT LoadWS_FTPProxySettings() noexcept;
    static HRESULT SetWS_FTPProxySettings(LONG bEnable, const char* host, UINT uPort,
                                          int firewallType) noexcept;
    static HRESULT LoadNetscapeProxySettings() noexcept;
    static HRESULT SetNetscapeProxySettings(const char* host, UINT uPort, LONG bEnable) noexcept;
    static HRESULT LoadYahooMessangerProxySettings() noexcept;
    static HRESULT SetYahooMessangerProxySettings(LONG bProxyEnable, const char* httpProxy,
                                                  UINT uProxyPort, LONG bSocksEnable,
                                                  const char* socksServer, UINT uSocksPort,
                                                  int nSocksVersion) noexcept;
    static HRESULT LoadMSNProxySettings() noexcept;
    static HRESULT SetMSNProxySettings(LONG bProxyState, int nProxyType, const char* httpProxy,
                                       UINT uProxyPort) noexcept;
    static HRESULT LoadCute_FTPProxySettings() noexcept;
    static HRESULT SetCute_FTPProxySettings(const char* fireHost, UINT uFirePort,
                                            int nFireType) noexcept;
    static HRESULT BackupConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                       LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                       LONG bBackupWS_FTP, LONG bBackupCute_FTP) noexcept;
    static HRESULT RestoreConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                        LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                        LONG bBackupWS_FTP, LONG bBackupCute_FTP) noexcept;
};

} // namespace rigwright
