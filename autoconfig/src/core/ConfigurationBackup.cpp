#include "core/ConfigurationBackup.h"

#include "core/CuteFtp.h"
#include "core/FileEdit.h"
#include "core/InternetExplorer.h"
#include "core/Mirc.h"
#include "core/MsnMessenger.h"
#include "core/Netscape.h"
#include "core/Opera.h"
#include "core/Report.h"
#include "core/WsFtp.h"
#include "core/YahooMessenger.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Files.h>
#include <platform/Processes.h>
#include <platform/Windows.h>

namespace rigwright {

namespace {

// The folder is made on the first file that goes into it.
class BackupTarget {
public:
    explicit BackupTarget(std::string folder) : m_folder(std::move(folder)) {}

    std::string file(const char* name)
    {
        if (!m_created) {
            // The install folder may have been moved or removed since the program
            // recorded its path: every missing folder is made.
            createFolderPath(m_folder);
            m_created = true;
        }
        return m_folder + "\\" + name;
    }

    void copyFrom(const std::optional<std::string>& source, const char* name)
    {
        if (source && GetFileAttributes(source->c_str()) != INVALID_FILE_ATTRIBUTES) {
            CopyFile(source->c_str(), file(name).c_str(), FALSE);
        }
    }

private:
    std::string m_folder;
    bool m_created = false;
};

void importInBackground(const std::string& regedit, const std::string& file)
{
    // Not quoted: RegEdit.exe takes the rest of its command line as one path.
    WinExec((regedit + " /s " + file).c_str(), SW_HIDE);
}

void copyBack(const std::string& folder, const char* name, const std::optional<std::string>& target)
{
    if (target) {
        CopyFile((folder + "\\" + name).c_str(), target->c_str(), FALSE);
    }
}

} // namespace

std::optional<std::string> ConfigurationBackup::folder()
{
    return settings::backupFolder();
}

HRESULT ConfigurationBackup::backup(const Selection& selection)
{
    std::optional<std::string> folder = ConfigurationBackup::folder();
    if (!folder) {
        return kOk;
    }
    BackupTarget target(*folder);
    if (selection.opera) {
        target.copyFrom(Opera::settingsFile(), "Opera6.ini");
    }
    if (selection.mirc) {
        target.copyFrom(Mirc::settingsFile(), "mirc.ini");
    }
    if (selection.wsFtp) {
        target.copyFrom(WsFtp::settingsFile(), "firewall.ini");
    }
    if (selection.netscape) {
        target.copyFrom(Netscape::settingsFile(), "prefs.js");
    }
    if (selection.ie) {
        InternetExplorer::writeBackup(target.file("Internet Explorer.reg"));
    }
    if (selection.yahoo) {
        YahooMessenger::writeBackup(target.file("Yahoo Messenger.reg"));
    }
    if (selection.cuteFtp) {
        CuteFtp::writeBackup(target.file("Cute FTP.reg"));
    }
    if (selection.msn) {
        MsnMessenger::writeBackup(target.file("MSN.reg"));
    }
    return kOk;
}

HRESULT ConfigurationBackup::restore(const Selection& selection)
{
    std::optional<std::string> folder = ConfigurationBackup::folder();
    if (!folder) {
        return kOk;
    }
    char windows[MAX_PATH] = {};
    GetWindowsDirectory(windows, sizeof windows);
    const std::string regedit = std::string(windows) + "\\RegEdit.exe";
    const std::pair<bool, const char*> imports[] = {{selection.ie, "Internet Explorer.reg"},
                                                    {selection.yahoo, "Yahoo Messenger.reg"},
                                                    {selection.msn, "MSN.reg"},
                                                    {selection.cuteFtp, "Cute FTP.reg"}};
    for (const auto& [selected, name] : imports) {
        if (selected) {
            importInBackground(regedit, *folder + "\\" + name);
        }
    }
    if (selection.opera) {
        copyBack(*folder, "Opera6.ini", Opera::settingsFile());
    }
    if (selection.mirc) {
        copyBack(*folder, "mirc.ini", Mirc::settingsFile());
    }
    if (selection.wsFtp) {
        copyBack(*folder, "firewall.ini", WsFtp::settingsFile());
    }
    if (selection.netscape) {
        copyBack(*folder, "prefs.js", Netscape::settingsFile());
    }
    return kOk;
}

} // namespace rigwright
