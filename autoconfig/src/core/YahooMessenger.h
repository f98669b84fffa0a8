#pragma once
// Yahoo Messenger: the HTTP proxy values of HKCU\Software\Yahoo\Pager.

#include <platform/WinTypes.h>

#include <string>

namespace rigwright {

class YahooMessenger {
public:
    static constexpr const char* kKey = "Software\\Yahoo\\Pager";

    static HRESULT load();
    // The SOCKS arguments are part of the interface; Messenger's SOCKS values stay as
    // they are.
    static HRESULT set(LONG proxyEnable, const char* httpProxy, UINT proxyPort);
    static bool writeBackup(const std::string& file);
};

} // namespace rigwright
