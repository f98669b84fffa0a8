// The Configuration object's eighteen methods: each hands its arguments to the class of
// its program. Nothing may escape as an exception (the COM class forwards here); a call
// that fails unexpectedly counts as a program that could not be configured.
#include "core/Operations.h"

#include "core/ConfigurationBackup.h"
#include "core/CuteFtp.h"
#include "core/InternetExplorer.h"
#include "core/Mirc.h"
#include "core/MsnMessenger.h"
#include "core/Netscape.h"
#include "core/Opera.h"
#include "core/WsFtp.h"
#include "core/YahooMessenger.h"

namespace rigwright {

namespace {

template <typename Call> HRESULT guarded(Call&& call) noexcept
{
    try {
        return call();
    } catch (...) {
        return kFalse;
    }
}

// COM callers may pass a null string for an empty one.
const char* text(const char* value)
{
    return value != nullptr ? value : "";
}

ConfigurationBackup::Selection selection(LONG ie, LONG netscape, LONG opera, LONG msn, LONG yahoo,
                                         LONG mirc, LONG wsFtp, LONG cuteFtp)
{
    return {ie != 0,    netscape != 0, opera != 0, msn != 0,
            yahoo != 0, mirc != 0,     wsFtp != 0, cuteFtp != 0};
}

} // namespace

HRESULT Operations::LoadIEProxySettings() noexcept
{
    return guarded([] { return InternetExplorer::load(); });
}

HRESULT Operations::SetIEProxySettings(LONG bEnableProxy, const char* host, UINT port) noexcept
{
    return guarded([&] { return InternetExplorer::set(bEnableProxy, text(host), port); });
}

HRESULT Operations::LoadOperaProxySettings() noexcept
{
    return guarded([] { return Opera::load(); });
}

HRESULT Operations::SetOperaProxySettings(LONG bUseHTTP, const char* hostName, UINT uPort) noexcept
{
    return guarded([&] { return Opera::set(bUseHTTP, text(hostName), uPort); });
}

HRESULT Operations::LoadMircProxySettings() noexcept
{
    return guarded([] { return Mirc::load(); });
}

HRESULT Operations::SetMircProxySettings(LONG bEnable, const char* hostName, UINT uPort,
                                         const char* method) noexcept
{
    return guarded([&] { return Mirc::set(bEnable, text(hostName), uPort, text(method)); });
}

HRESULT Operations::LoadWS_FTPProxySettings() noexcept
{
    return guarded([] { return WsFtp::load(); });
}

HRESULT Operations::SetWS_FTPProxySettings(LONG bEnable, const char* host, UINT uPort,
                                           int firewallType) noexcept
{
    return guarded([&] { return WsFtp::set(bEnable, text(host), uPort, firewallType); });
}

HRESULT Operations::LoadNetscapeProxySettings() noexcept
{
    return guarded([] { return Netscape::load(); });
}

HRESULT Operations::SetNetscapeProxySettings(const char* host, UINT uPort, LONG bEnable) noexcept
{
    return guarded([&] { return Netscape::set(text(host), uPort, bEnable); });
}

HRESULT Operations::LoadYahooMessangerProxySettings() noexcept
{
    return guarded([] { return YahooMessenger::load(); });
}

HRESULT Operations::SetYahooMessangerProxySettings(LONG bProxyEnable, const char* httpProxy,
                                                   UINT uProxyPort, LONG, const char*, UINT,
                                                   int) noexcept
{
    return guarded([&] { return YahooMessenger::set(bProxyEnable, text(httpProxy), uProxyPort); });
}

HRESULT Operations::LoadMSNProxySettings() noexcept
{
    return guarded([] { return MsnMessenger::load(); });
}

HRESULT Operations::SetMSNProxySettings(LONG bProxyState, int nProxyType, const char* httpProxy,
                                        UINT uProxyPort) noexcept
{
    return guarded(
        [&] { return MsnMessenger::set(bProxyState, nProxyType, text(httpProxy), uProxyPort); });
}

HRESULT Operations::LoadCute_FTPProxySettings() noexcept
{
    return guarded([] { return CuteFtp::load(); });
}

HRESULT Operations::SetCute_FTPProxySettings(const char* fireHost, UINT uFirePort,
                                             int nFireType) noexcept
{
    return guarded([&] { return CuteFtp::set(text(fireHost), uFirePort, nFireType); });
}

HRESULT Operations::BackupConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                        LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                        LONG bBackupWS_FTP, LONG bBackupCute_FTP) noexcept
{
    return guarded([&] {
        return ConfigurationBackup::backup(selection(bBackupIE, bBackupNetscape, bBackupOpera,
                                                     bBackupMSN, bBackupYahoo, bBackupmIRC,
                                                     bBackupWS_FTP, bBackupCute_FTP));
    });
}

HRESULT Operations::RestoreConfiguration(LONG bBackupIE, LONG bBackupNetscape, LONG bBackupOpera,
                                         LONG bBackupMSN, LONG bBackupYahoo, LONG bBackupmIRC,
                                         LONG bBackupWS_FTP, LONG bBackupCute_FTP) noexcept
{
    return guarded([&] {
        return ConfigurationBackup::restore(selection(bBackupIE, bBackupNetscape, bBackupOpera,
                                                      bBackupMSN, bBackupYahoo, bBackupmIRC,
                                                      bBackupWS_FTP, bBackupCute_FTP));
    });
}

} // namespace rigwright
