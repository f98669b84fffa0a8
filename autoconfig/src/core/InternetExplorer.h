#pragma once
// Internet Explorer: the proxy values of the user's Internet Settings key and the
// connection blob in every value of both Connections keys.

#include <platform/WinTypes.h>

#include <string>

namespace rigwright {

class InternetExplorer {
public:
    static constexpr const char* kSettingsKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

    static HRESULT load();
    static HRESULT set(LONG enableProxy, const char* host, UINT port);
    // The connection value: always 127.0.0.1 and the port, flags 3 (proxy on) or 1.
    static std::string connectionBlob(LONG enableProxy, UINT port);
    // "Internet Explorer.reg" for the backup.
    static bool writeBackup(const std::string& file);
};

} // namespace rigwright
