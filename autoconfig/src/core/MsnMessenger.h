#pragma once
// MSN Messenger: the proxy values of HKCU\Software\Microsoft\MSNMessenger (the numbers
// are four-byte REG_BINARY values, little-endian).

#include <platform/WinTypes.h>

#include <string>

namespace rigwright {

class MsnMessenger {
public:
    static constexpr const char* kKey = "Software\\Microsoft\\MSNMessenger";

    static HRESULT load();
    static HRESULT set(LONG proxyState, int proxyType, const char* httpProxy, UINT proxyPort);
    static bool writeBackup(const std::string& file);
};

} // namespace rigwright
