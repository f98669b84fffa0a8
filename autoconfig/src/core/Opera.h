#pragma once
// Opera 6: the HTTP proxy entries of Opera6.ini in the install folder.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class Opera {
public:
    static HRESULT load();
    static HRESULT set(LONG useHttp, const char* hostName, UINT port);
    // Opera6.ini, for the backup and restore (only when the uninstall string names the
    // folder).
    static std::optional<std::string> settingsFile();
};

} // namespace rigwright
