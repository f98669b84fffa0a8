#pragma once
// Netscape 7: three proxy preferences in prefs.js of the ".slt" profile folder under
// Application Data\Mozilla\Profiles\default.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class Netscape {
public:
    static constexpr const char* UninstallKey = "Netscape (7.0)";
    static constexpr const char* NotFoundText =
        "Failed To Locate Netscape, Please Check That Netscape Is Installed Correctly";
    // Added to the file error text when prefs.js cannot be opened.
    static constexpr const char* OtherVersionNote =
        "\n You may be using another version of Netscape, please refer to Umbravia help "
        "under (Manual Configuration For Netscape)";
    // The three preferences, each found by this text.
    static constexpr const char* TypeKey = "user_pref(\"network.proxy.type\", ";
    static constexpr const char* HostKey = "user_pref(\"network.proxy.http\", \"";
    static constexpr const char* PortKey = "user_pref(\"network.proxy.http_port\", ";

    struct ProfileFiles {
        std::string preferences; // prefs.js
        std::string temporary;   // prefs.bak, the edit's replacement file
    };
    // The files in the ".slt" folder under Application Data\Mozilla\Profiles\default.
    static ProfileFiles profileFiles();

    static HRESULT load();
    static HRESULT set(const char* host, UINT port, LONG enable);
    // prefs.js for the backup and restore, when Netscape 7 is installed.
    static std::optional<std::string> settingsFile();
    static std::string edit(std::string text, const std::string& host, UINT port, LONG enable);
};

} // namespace rigwright
