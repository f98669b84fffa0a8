#include "core/Opera.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

namespace rigwright {

namespace {

std::string edit(std::string text, LONG useHttp, const std::string& host, UINT port)
{
    IniText ini(std::move(text));
    ini.replaceEntry("Use HTTP=", "Use HTTP=" + std::to_string(useHttp) + "\n");
    ini.replaceEntry("HTTP Server", "HTTP Server=" + host + ":" + std::to_string(port) + "\n");
    return ini.text();
}

} // namespace

std::string_view Opera::installMarker()
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

HRESULT Opera::load()
{
    std::optional<std::string> folder = locateInstallFolder(UninstallKey, "Opera");
    if (!folder) {
        return reportFailure(NotFoundText, kCaption);
    }
    platform::Result<std::string> text = readForEdit(*folder + "\\Opera6.ini");
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT Opera::set(LONG useHttp, const char* hostName, UINT port)
{
    std::optional<std::string> folder = locateInstallFolder(UninstallKey, installMarker());
    if (!folder) {
        return reportFailure(NotFoundText, kCaption);
    }
    platform::Result<void> done = editFile(
        *folder + "\\Opera6.ini", *folder + "\\Opera6.bak",
        [&](std::string text) { return edit(std::move(text), useHttp, hostName, port); },
        OtherVersionNote);
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> Opera::settingsFile()
{
    std::optional<std::string> folder = locateInstallFolderStrict(UninstallKey, "Opera");
    return folder ? std::optional(*folder + "\\Opera6.ini") : std::nullopt;
}

} // namespace rigwright
