#include "core/WsFtp.h"

#include "core/FileEdit.h"
#include "core/IniText.h"
#include "core/Locations.h"
#include "core/Report.h"

#include <platform/Files.h>

#include <algorithm>

namespace rigwright {

namespace {

constexpr const char* kUninstallKey = "WS_FTP Pro";
constexpr const char* kNotFound =
    "Failed To Locate WS_FTP, Please Check That WS_FTP Is Installed Correctly";
constexpr const char* kNoDataFile = "Unable to open data file";
constexpr const char* kSectionHeader = "[Umbravia Proxy Settings]";
constexpr const char* kSites = "\\Ipswitch\\WS_FTP\\Sites";

bool hasEntry(const std::string& pattern, const char* name)
{
    std::vector<std::string> names = listFolder(pattern);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Where WS_FTP keeps its Ipswitch folder: the application-data folder on NT, the
// drive's Common Files folder on Windows 95/98/Me. The file, its temporary file and the
// folders of the first use all lie there, so the 9x variant works as the NT one does.
std::string baseFolder(const std::string& appData)
{
    switch (windowsPlatform()) {
    case WindowsPlatform::NT:
        return appData;
    case WindowsPlatform::Windows9x:
        return appData.substr(0, 3) + "Program Files\\Common Files";
    default:
        return {};
    }
}

void createSitesFolders(const std::string& base)
{
    CreateDirectory((base + "\\Ipswitch").c_str(), nullptr);
    CreateDirectory((base + "\\Ipswitch\\WS_FTP").c_str(), nullptr);
    CreateDirectory((base + kSites).c_str(), nullptr);
}

// First use: the folders and a file holding only the section.
HRESULT createFirstTime(const std::string& appData, const std::string& base, const std::string& ini,
                        const std::string& section)
{
    createSitesFolders(appData);
    if (base != appData) {
        createFolderPath(base + kSites);
    }
    platform::Result<void> written = writeNewFile(ini, section);
    return written ? kOk : reportFailure(written.error().message, kCaption);
}

} // namespace

std::string WsFtp::section(const std::string& host, int firewallType, UINT port)
{
    return std::string(kSectionHeader) + "\nHOST=" + host +
           "\nFIRETYPE=" + std::to_string(firewallType) + "\nPORT=" + std::to_string(port) + "\n";
}

HRESULT WsFtp::load()
{
    if (!locateInstallFolder(kUninstallKey, kUninstallKey)) {
        return reportFailure(kNotFound, kCaption);
    }
    platform::Result<std::string> text =
        readForEdit(baseFolder(applicationDataFolder()) + kSites + "\\firewall.ini");
    return text ? kOk : reportFailure(text.error().message, kCaption);
}

HRESULT WsFtp::set(LONG enable, const char* host, UINT port, int firewallType)
{
    if (!locateInstallFolder(kUninstallKey, kUninstallKey)) {
        return reportFailure(kNotFound, kCaption);
    }
    const std::string appData = applicationDataFolder();
    const std::string base = baseFolder(appData);
    const std::string ini = base + kSites + "\\firewall.ini";
    const std::string newSection = section(host, firewallType, port);

    if (!hasEntry(base + "\\*.*", "Ipswitch")) {
        return createFirstTime(appData, base, ini, newSection);
    }
    if (!hasEntry(ini, "firewall.ini")) {
        return kOk;
    }
    platform::Result<std::string> text = readForEdit(ini);
    if (!text) {
        return reportFailure(text.error().message, kCaption);
    }
    platform::Result<ReplacementFile> replacement =
        ReplacementFile::create(base + kSites + "\\firewall.bak");
    if (!replacement) {
        return reportFailure(kNoDataFile, kCaption);
    }
    IniText edited(std::move(*text));
    edited.removeSection(kSectionHeader);
    if (enable != 0) {
        // Line ends already in the file stay as they are; the new section gets CR LF.
        edited.append(withCrLf(newSection));
    }
    platform::Result<void> done = replacement->commit(edited.text(), ini);
    return done ? kOk : reportFailure(done.error().message, kCaption);
}

std::optional<std::string> WsFtp::settingsFile()
{
    if (!uninstallString(kUninstallKey)) {
        return std::nullopt;
    }
    return baseFolder(applicationDataFolder()) + kSites + "\\firewall.ini";
}

} // namespace rigwright
