#pragma once
// mIRC: the [socks] entries of mirc.ini in the install folder.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class Mirc {
public:
    static HRESULT load();
    static HRESULT set(LONG enable, const char* hostName, UINT port, const char* method);
    // mirc.ini for the backup and restore (uninstall key "mIRC"; names ignore case).
    static std::optional<std::string> settingsFile();
    // The edit of the file's text (public for the tests of its odd rules).
    static std::string edit(std::string text, LONG enable, const std::string& hostName, UINT port,
                            const std::string& method);
};

} // namespace rigwright
