#pragma once
// Netscape 7: three proxy preferences in prefs.js of the ".slt" profile folder under
// Application Data\Mozilla\Profiles\default.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class Netscape {
public:
    static HRESULT load();
    static HRESULT set(const char* host, UINT port, LONG enable);
    // prefs.js for the backup and restore, when Netscape 7 is installed.
    static std::optional<std::string> settingsFile();
    static std::string edit(std::string text, const std::string& host, UINT port, LONG enable);
};

} // namespace rigwright
