#include "core/Opera.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

namespace rigwright {

namespace {

constexpr const char* kUninstallKey = "Opera";
constexpr const char* kNotFound =
    "Failed To Locate Opera, Please Check That Opera Is Installed Correctly";
constexpr const char* kOtherVersion = "\n You may be using another version of opera, please "
                                      "refer to Umbravia help under (Manual Configuration For "
                                      "Opera)";

// Opera 6 on Windows 95/98/Me records its folder in capitals.
std::string_view markerForPlatform()
{
    switch (windowsPlatform()) {
    case WindowsPlatform::Windows9x:
        return "OPERA";
    case WindowsPlatform::NT:
        return "Opera";
    default:
        return "";
    }
}

std::string edit(std::string text, LONG useHttp, const std::string& host, UINT port)
{
    IniText ini(std::move(text));
    ini.replaceEntry("Use HTTP=", "Use HTTP=" + std::to_string(useHttp) + "\n");
    ini.replaceEntry("HTTP Server", "HTTP Server=" + host + ":" + std::to_string(port) + "\n");
    return ini.text();
}

} // namespace

HRESULT Opera::load()
{
    std::optional<std::string> folder = locateInstallFolder(kUninstallKey, "Opera");
    if (!folder) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<std::string> text = readForEdit(*folder + "\\Opera6.ini");
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT Opera::set(LONG useHttp, const char* hostName, UINT port)
{
    std::optional<std::string> folder = locateInstallFolder(kUninstallKey, markerForPlatform());
    if (!folder) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<void> done = editFile(
        *folder + "\\Opera6.ini", *folder + "\\Opera6.bak",
        [&](std::string text) { return edit(std::move(text), useHttp, hostName, port); },
        kOtherVersion);
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> Opera::settingsFile()
{
    std::optional<std::string> folder = locateInstallFolderStrict(kUninstallKey, "Opera");
    return folder ? std::optional(*folder + "\\Opera6.ini") : std::nullopt;
}

} // namespace rigwright
