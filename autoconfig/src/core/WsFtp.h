#pragma once
// WS_FTP Pro: the "[Umbravia Proxy Settings]" section of firewall.ini in the user's
// Ipswitch\WS_FTP\Sites folder.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class WsFtp {
public:
    static HRESULT load();
    static HRESULT set(LONG enable, const char* host, UINT port, int firewallType);
    // firewall.ini for the backup and restore, when WS_FTP Pro is installed.
    static std::optional<std::string> settingsFile();
    // The section, with bare line feeds.
    static std::string section(const std::string& host, int firewallType, UINT port);
};

} // namespace rigwright
