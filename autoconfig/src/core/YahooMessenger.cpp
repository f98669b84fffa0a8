#include "core/YahooMessenger.h"

#include "core/RegBackupFile.h"
#include "core/Report.h"

#include <common/Settings.h>

namespace rigwright {

namespace {

constexpr const char* kNotFoundLoad = "Failed To Locate Yahoo Messenger, Please Check That Yahoo "
                                      "Messenger Is Installed Correctly";
constexpr const char* kNotFoundSet = "Failed To Locate Yahoo Messenger, Please Check That Yahoo "
                                     "Mesenger Is Installed Correctly";

} // namespace

HRESULT YahooMessenger::load()
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFoundLoad, kCaption);
    }
    for (const char* name :
         {"Proxy Enabled", "Proxy Port", "Socks Enabled", "Socks Port", "Socks Version"}) {
        (void)key.readDword(name);
    }
    (void)key.readString("HTTP Proxy");
    (void)key.readString("Socks Server");
    return kOk;
}

HRESULT YahooMessenger::set(LONG proxyEnable, const char* httpProxy, UINT proxyPort)
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFoundSet, kCaption);
    }
    key.writeDword("Proxy Enabled", static_cast<DWORD>(proxyEnable));
    key.writeString("HTTP Proxy", httpProxy);
    key.writeDword("Proxy Port", proxyPort);
    return kOk;
}

bool YahooMessenger::writeBackup(const std::string& path)
{
    return RegBackupFile::writeKey(path, kKey, [](RegBackupFile& file, const settings::Key& key) {
        file.dword("Proxy Enabled", key.readDword("Proxy Enabled"));
        file.text("HTTP Proxy", key.readString("HTTP Proxy"));
        file.shortDword("Proxy Port", key.readDword("Proxy Port"));
    });
}

} // namespace rigwright
