#pragma once
// Opera 6: the HTTP proxy entries of Opera6.ini in the install folder.

#include <platform/WinTypes.h>

#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

class Opera {
public:
    static constexpr const char* UninstallKey = "Opera";
    static constexpr const char* NotFoundText =
        "Failed To Locate Opera, Please Check That Opera Is Installed Correctly";
    // Added to the file error text when Opera6.ini cannot be opened.
    static constexpr const char* OtherVersionNote =
        "\n You may be using another version of opera, please refer to Umbravia help under "
        "(Manual Configuration For Opera)";
    // What the install folder is cut after in the uninstall string: Opera 6 on Windows
    // 95/98/Me records its folder in capitals.
    static std::string_view installMarker();

    static HRESULT load();
    static HRESULT set(LONG useHttp, const char* hostName, UINT port);
    // Opera6.ini, for the backup and restore (only when the uninstall string names the
    // folder).
    static std::optional<std::string> settingsFile();
};

} // namespace rigwright
