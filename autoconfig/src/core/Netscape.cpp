#include "core/Netscape.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

namespace rigwright {

namespace {

constexpr const char* kUninstallKey = "Netscape (7.0)";
constexpr const char* kNotFound =
    "Failed To Locate Netscape, Please Check That Netscape Is Installed Correctly";
constexpr const char* kOtherVersion = "\n You may be using another version of Netscape, please "
                                      "refer to Umbravia help under (Manual Configuration For "
                                      "Netscape)";
constexpr const char* kTypeKey = "user_pref(\"network.proxy.type\", ";
constexpr const char* kHostKey = "user_pref(\"network.proxy.http\", \"";
constexpr const char* kPortKey = "user_pref(\"network.proxy.http_port\", ";

struct ProfileFiles {
    std::string preferences;
    std::string temporary;
};

// Every entry whose name holds ".slt" is added to both paths: with one profile folder
// they name its files; with several the paths lead nowhere and the open fails.
ProfileFiles profileFiles()
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

} // namespace

std::string Netscape::edit(std::string text, const std::string& host, UINT port, LONG enable)
{
    IniText prefs(std::move(text));
    prefs.setEntry(kTypeKey, std::string(kTypeKey) + (enable != 0 ? "1);\n" : "0);\n"));
    prefs.setEntry(kHostKey, std::string(kHostKey) + host + "\");\n");
    prefs.setEntry(kPortKey, std::string(kPortKey) + std::to_string(port) + ");\n");
    return prefs.text();
}

HRESULT Netscape::load()
{
    if (!locateInstallFolder(kUninstallKey, "Netscape")) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<std::string> text = readForEdit(profileFiles().preferences);
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT Netscape::set(const char* host, UINT port, LONG enable)
{
    if (!locateInstallFolder(kUninstallKey, "Netscape")) {
        return reportFailure(kNotFound, kCaption);
    }
    const ProfileFiles files = profileFiles();
    platform::Result<void> done = editFile(
        files.preferences, files.temporary,
        [&](std::string text) { return edit(std::move(text), host, port, enable); }, kOtherVersion);
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> Netscape::settingsFile()
{
    if (!uninstallString(kUninstallKey)) {
        return std::nullopt;
    }
    return profileFiles().preferences;
}

} // namespace rigwright
