#pragma once
// The programs the integration dialog and the wizard detect, installed in the test's
// prefix exactly as their detection looks for them (common/IntegratedPrograms.h).

#include <common/Settings.h>

#include <TestSupport.h>

#include <filesystem>
#include <string>

namespace testsupport {

// An uninstall entry with its UninstallString, under root.
inline void installUninstallEntry(HKEY root, const std::string& name)
{
    settings::Key::create(
        root, ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name).c_str())
        .writeString("UninstallString", "C:\\uninstall.exe");
}

// MSN Messenger's program file on drive C: of the prefix (its key is separate).
inline void installMsnProgramFile(const std::filesystem::path& driveC)
{
    const std::filesystem::path folder = driveC / "Program Files" / "MSN Messenger";
    std::filesystem::create_directories(folder);
    writeFile(folder / "msnmsgr.exe", "program");
}

// Every detected program: Netscape, Opera, MSN and Yahoo Messenger, mIRC, WS_FTP, CuteFTP.
inline void installEveryDetectedProgram(const std::filesystem::path& driveC)
{
    installUninstallEntry(HKEY_LOCAL_MACHINE, "Netscape (7.0)");
    installUninstallEntry(HKEY_LOCAL_MACHINE, "Opera");
    settings::Key::create(HKEY_CURRENT_USER, "Software\\Microsoft\\MSNMessenger");
    installMsnProgramFile(driveC);
    settings::Key::create(HKEY_CURRENT_USER, "Software\\Yahoo\\Pager");
    installUninstallEntry(HKEY_CURRENT_USER, "Yahoo! Messenger");
    installUninstallEntry(HKEY_LOCAL_MACHINE, "Mirc");
    installUninstallEntry(HKEY_LOCAL_MACHINE, "WS_FTP Pro");
    settings::Key::create(HKEY_CURRENT_USER, "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP");
}

} // namespace testsupport
