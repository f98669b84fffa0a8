#include "core/Mirc.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

namespace rigwright {

namespace {

constexpr const char* kUninstallKey = "Mirc";
constexpr const char* kMarker = "mIRC";
constexpr const char* kNotFound =
    "Failed To Locate mIRC, Please Check That mIRC Is Installed Correctly";

// mIRC's uninstall string starts with a quote ("C:\...\mirc.exe" -uninstall): the
// first character of the path goes.
std::string withoutFirst(std::string path)
{
    return path.empty() ? path : path.substr(1);
}

} // namespace

std::string Mirc::edit(std::string text, LONG enable, const std::string& hostName, UINT port,
                       const std::string& method)
{
    IniText ini(std::move(text));
    if (!ini.contains("[socks]")) {
        return ini.text();
    }
    ini.replaceEntry("enable=", enable != 0 ? "enable=yes\n" : "enable=no\n");
    // The first "port=" of the file is passed over (its key and four more characters);
    // the next one takes the new port.
    if (std::size_t first = ini.text().find("port="); first != std::string::npos) {
        const std::size_t tailStart = first + 9;
        if (tailStart <= ini.text().size()) {
            IniText tail(ini.text().substr(tailStart));
            if (tail.replaceEntry("port=", "port=" + std::to_string(port) + "\n")) {
                ini.replaceTail(tailStart, tail.text());
            }
        }
    }
    ini.replaceEntry("method=", "method=" + method + "\n");
    ini.replaceEntry("hostname=", "hostname=" + hostName + "\n");
    return ini.text();
}

HRESULT Mirc::load()
{
    std::optional<std::string> folder = locateInstallFolder(kUninstallKey, kMarker);
    if (!folder) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<std::string> text = readForEdit(withoutFirst(*folder + "\\mirc.ini"));
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT Mirc::set(LONG enable, const char* hostName, UINT port, const char* method)
{
    std::optional<std::string> folder = locateInstallFolder(kUninstallKey, kMarker);
    if (!folder) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<void> done = editFile(
        withoutFirst(*folder + "\\mirc.ini"), withoutFirst(*folder + "\\mirc.bak"),
        [&](std::string text) { return edit(std::move(text), enable, hostName, port, method); });
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> Mirc::settingsFile()
{
    std::optional<std::string> folder = locateInstallFolderStrict("mIRC", kMarker);
    return folder ? std::optional(withoutFirst(*folder + "\\mirc.ini")) : std::nullopt;
}

} // namespace rigwright
