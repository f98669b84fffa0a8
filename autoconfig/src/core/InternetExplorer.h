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
    // Under HKEY_CURRENT_USER and, for the default user, under HKEY_USERS.
    static constexpr const char* kConnectionsKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
    static constexpr const char* kDefaultUserConnectionsKey =
        ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

    static HRESULT load();
    static HRESULT set(LONG enableProxy, const char* host, UINT port);
    // The connection value: always 127.0.0.1 and the port, flags 3 (proxy on) or 1.
    static std::string connectionBlob(LONG enableProxy, UINT port);
    // Every value of root\\path gets the blob as REG_BINARY, whatever its name, type and
    // size. False when the key cannot be opened.
    static bool overwriteConnections(HKEY root, const char* path, const std::string& blob);
    // "Internet Explorer.reg" for the backup.
    static bool writeBackup(const std::string& file);
};

} // namespace rigwright
