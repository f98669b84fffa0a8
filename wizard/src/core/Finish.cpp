#include "Finish.h"

#include "SettingsModel.h"
#include "Startup.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Processes.h>
#include <platform/Text.h>
#include <platform/Windows.h>

#include <cstdint>

namespace wizard {

namespace {

// The main program's path as the main key records it; the wizard's own idea of it when
// the key has none.
std::string recordedMainProgram(const StartContext& context)
{
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    const std::optional<std::string> path = main.readString(nullptr, MAX_PATH);
    return path && !path->empty() ? *path : context.mainProgramPath;
}

} // namespace

bool mainProgramRunning()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        MessageBox(0, SnapshotFailedText, WizardCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool running = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !running;
         more = Process32Next(snapshot, &entry)) {
        running = text::equalsNoCase(entry.szExeFile, MainProgramName) &&
                  platform::runsInThisPrefix(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return running;
}

FinishOutcome finishWizard(const SettingsModel& model, const StartContext& context)
{
    FinishOutcome outcome;
    outcome.saved = saveSettings(model);
    if (context.startedByHost || mainProgramRunning()) {
        return outcome;
    }
    const std::string program = recordedMainProgram(context);
    const std::size_t slash = program.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "" : program.substr(0, slash + 1);
    const HINSTANCE started =
        ShellExecute(0, "open", program.c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(),
                     SW_SHOWMINIMIZED);
    outcome.hostStarted = reinterpret_cast<std::intptr_t>(started) > 32;
    return outcome;
}

} // namespace wizard
