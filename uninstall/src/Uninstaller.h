#pragma once
// The uninstall helper's whole run, in its fixed order: the integrated programs' and the
// desktop's proxy settings restored, the suite's registry tree and browser registrations
// deleted, the autostart and menu entries removed, the three COM modules unregistered,
// the install folder's files deleted, and then the user asked to close the main window
// and the wizard while they are open.

#include <chrono>
#include <string>

namespace uninstall {

inline constexpr const char* MainRunningText =
    "Setup found that Umbravia is already running, please close it and press ok to continue";
inline constexpr const char* WizardRunningText =
    "Setup found that Umbravia Settings Wizard is already running, please close it and press "
    "ok to continue";
inline constexpr const char* ProtectedFolderText =
    "Setup did not delete the files in \"%s\": the folder is, or holds, the system drive, the "
    "user profile or the home folder.";
inline constexpr const char* LinkedFolderText =
    "Setup did not delete the files in \"%s\": the folder is a symbolic link.";
// Followed by one line per desktop target: its name and what went wrong.
inline constexpr const char* DesktopRestoreFailedText =
    "Setup could not restore these proxy settings of your desktop; they still point at "
    "Umbravia:";
inline constexpr const char* AutostartFailedText =
    "Setup could not remove Umbravia from the desktop session's autostart folder: ";
inline constexpr const char* MenuEntryFailedText =
    "Setup could not remove Umbravia's application menu entry or icon from \"%s\".";

class Uninstaller {
public:
    // The whole run. Every step goes on whatever the one before it did. False only when
    // the run broke off (out of memory); the program then ends with exit code 1.
    static bool run() noexcept;

    // The desktop's proxy settings (GNOME, KDE, Firefox, the login environment) back from
    // the journal, as the integration switch takes them off.
    static void restoreDesktop();
    static void deleteRegistrations();
    // After the Run value is gone: the session's autostart entry and the application menu
    // entry with its icon.
    static void removeFromDesktop();
    // Runs "regsvr32.exe /u /s" on the three COM modules, hidden, and waits for each (up
    // to the bound) so that no module file is deleted before it has been unregistered.
    static void unregisterComModules(std::chrono::milliseconds bound);
    static void removeInstallFolder(const std::string& folder);
    // Shows the "running" box again after every OK while the window is open.
    static void waitForWindows();
};

} // namespace uninstall
