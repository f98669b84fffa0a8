#pragma once
// Backup and restore of the configured programs' settings in the suite's Backup folder:
// copies of the programs' files, and registry-editor files that the restore imports with
// "RegEdit.exe /s". Both are silent: a program that is not installed, or a file that
// cannot be copied, is passed over.

#include <platform/WinTypes.h>

#include <optional>
#include <string>

namespace rigwright {

class ConfigurationBackup {
public:
    struct Selection {
        bool ie = false;
        bool netscape = false;
        bool opera = false;
        bool msn = false;
        bool yahoo = false;
        bool mirc = false;
        bool wsFtp = false;
        bool cuteFtp = false;
    };

    // The folder "Backup" beside Umbravia.exe, from the path the main program records in
    // the main key's unnamed value. Nothing when that value cannot be read: the backup
    // then has no place and does nothing (it never writes into a drive's root).
    static std::optional<std::string> folder();

    static HRESULT backup(const Selection& selection);
    static HRESULT restore(const Selection& selection);
};

} // namespace rigwright
