#include "core/Netscape.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

namespace rigwright {

// Every entry whose name holds ".slt" is added to both paths: with one profile folder
// they name its files; with several the paths lead nowhere and the open fails.
Netscape::ProfileFiles Netscape::profileFiles()
{
    const std::string profiles = applicationDataFolder() + "\\Mozilla\\Profiles\\default\\";
    ProfileFiles files{profiles, profiles};
    for (const std::string& name : listFolder(profiles + "*.*")) {
        if (name.find(".slt") != std::string::npos) {
            files.preferences += name + "\\prefs.js";
            files.temporary += name + "\\prefs.bak";
        }
    }
    return files;
}

std::string Netscape::edit(std::string text, const std::string& host, UINT port, LONG enable)
{
    IniText prefs(std::move(text));
    prefs.setEntry(TypeKey, std::string(TypeKey) + (enable != 0 ? "1);\n" : "0);\n"));
    prefs.setEntry(HostKey, std::string(HostKey) + host + "\");\n");
    prefs.setEntry(PortKey, std::string(PortKey) + std::to_string(port) + ");\n");
    return prefs.text();
}

HRESULT Netscape::load()
{
    if (!locateInstallFolder(UninstallKey, "Netscape")) {
        return reportFailure(NotFoundText, kCaption);
    }
    platform::Result<std::string> text = readForEdit(profileFiles().preferences);
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT Netscape::set(const char* host, UINT port, LONG enable)
{
    if (!locateInstallFolder(UninstallKey, "Netscape")) {
        return reportFailure(NotFoundText, kCaption);
    }
    const ProfileFiles files = profileFiles();
    platform::Result<void> done = editFile(
        files.preferences, files.temporary,
        [&](std::string text) { return edit(std::move(text), host, port, enable); },
        OtherVersionNote);
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> Netscape::settingsFile()
{
    if (!uninstallString(UninstallKey)) {
        return std::nullopt;
    }
    return profileFiles().preferences;
}

} // namespace rigwright
