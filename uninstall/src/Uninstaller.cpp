#include "Uninstaller.h"

#include "InstallFolder.h"
#include "MenuEntry.h"
#include "ProgramRestore.h"

#include <common/BrowserKeys.h>
#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/KernelObjects.h>
#include <platform/MessageBox.h>
#include <platform/Processes.h>
#include <platform/Registry.h>
#include <platform/Windows.h>

#include <desktop/Autostart.h>
#include <desktop/DesktopIntegration.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace uninstall {

namespace {

constexpr std::array<const char*, 3> ComModules = {"UmbraIEExt.dll", "Rigwright.dll",
                                                   "UmbraIEPlugin.dll"};
constexpr auto RegistrationBound = std::chrono::seconds(30);
// After an OK the window gets this long to go before the box comes back, so that a box
// answered at once (no screen) does not spin.
constexpr auto CloseGrace = std::chrono::milliseconds(500);
constexpr auto ClosePoll = std::chrono::milliseconds(20);

// Starts the command hidden; the process handle, or null when it could not start.
HANDLE startHidden(const std::string& commandLine)
{
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcess(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

HWND findWizard()
{
    return FindWindow(DIALOG_CLASS, hostlink::WizardWindowTitle);
}

void askWhileOpen(HWND (*find)(), const char* text)
{
    while (find() != 0) {
        MessageBox(0, text, SetupCaption, MB_OK | MB_ICONINFORMATION);
        const auto end = std::chrono::steady_clock::now() + CloseGrace;
        while (find() != 0 && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(ClosePoll);
        }
    }
}

void reportKeptFolder(const char* format, const std::string& folder)
{
    std::string text = format;
    text.replace(text.find("%s"), 2, folder);
    MessageBox(0, text.c_str(), SetupCaption, MB_OK | MB_ICONERROR);
}

} // namespace

bool Uninstaller::run() noexcept
{
    try {
        ProgramRestore::restoreIntegrated();
        restoreDesktop();
        const std::optional<std::string> folder = InstallFolder::fromMainKey();
        deleteRegistrations();
        removeFromDesktop();
        unregisterComModules(RegistrationBound);
        if (folder) {
            removeInstallFolder(*folder);
        }
        waitForWindows();
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Umbravia Uninstall: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "Umbravia Uninstall: unexpected failure\n");
    }
    return false;
}

void Uninstaller::deleteRegistrations()
{
    SHDeleteKey(HKEY_LOCAL_MACHINE, settings::MakerKey);
    SHDeleteValue(HKEY_CURRENT_USER, desktop::RunKey, desktop::RunValue);
    SHDeleteKey(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);
    SHDeleteValue(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, browserkeys::ToolbarBandClsid);
    SHDeleteKey(HKEY_LOCAL_MACHINE, browserkeys::ExtensionKey);
}

void Uninstaller::restoreDesktop()
{
    std::string failures;
    for (const desktop::Report& report : desktop::DesktopIntegration::switchOff()) {
        if (!report.result.ok()) {
            failures += std::string("\n") + desktop::targetName(report.target) + ": " +
                        report.result.message;
        }
    }
    if (!failures.empty()) {
        MessageBox(0, (DesktopRestoreFailedText + failures).c_str(), SetupCaption,
                   MB_OK | MB_ICONERROR);
    }
}

void Uninstaller::removeFromDesktop()
{
    // The Run value is gone: the session's autostart entry follows it.
    if (const desktop::Result mirrored = desktop::mirrorAutostart(); !mirrored) {
        MessageBox(0, (AutostartFailedText + mirrored.message).c_str(), SetupCaption,
                   MB_OK | MB_ICONERROR);
    }
    if (!MenuEntry::remove()) {
        std::string text = MenuEntryFailedText;
        text.replace(text.find("%s"), 2, MenuEntry::dataHome().string());
        MessageBox(0, text.c_str(), SetupCaption, MB_OK | MB_ICONERROR);
    }
}

void Uninstaller::unregisterComModules(std::chrono::milliseconds bound)
{
    std::vector<HANDLE> runs;
    for (const char* module : ComModules) {
        if (HANDLE process = startHidden(std::string("regsvr32.exe /u /s ") + module)) {
            runs.push_back(process);
        }
    }
    const auto end = std::chrono::steady_clock::now() + bound;
    for (HANDLE process : runs) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        WaitForSingleObject(process, static_cast<DWORD>(std::max<long long>(left.count(), 0)));
        CloseHandle(process);
    }
}

void Uninstaller::removeInstallFolder(const std::string& folder)
{
    switch (InstallFolder::remove(folder).outcome) {
    case FolderRemoval::Outcome::Protected:
        reportKeptFolder(ProtectedFolderText, folder);
        break;
    case FolderRemoval::Outcome::SymbolicLink:
        reportKeptFolder(LinkedFolderText, folder);
        break;
    case FolderRemoval::Outcome::Emptied:
    case FolderRemoval::Outcome::NotInstallFolder:
        break;
    }
}

void Uninstaller::waitForWindows()
{
    askWhileOpen(&hostlink::findMainWindow, MainRunningText);
    askWhileOpen(&findWizard, WizardRunningText);
}

} // namespace uninstall
