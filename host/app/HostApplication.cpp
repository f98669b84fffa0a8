#include "HostApplication.h"

#include <common/BrowserKeys.h>
#include <common/FirstRun.h>
#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/KernelObjects.h>
#include <platform/MessageBox.h>
#include <platform/Processes.h>
#include <platform/Registry.h>
#include <platform/Windows.h>

#include <QDialog>

#include <core/BrowserLauncher.h>
#include <core/ProcessEnd.h>
#include <core/ProgramIntegration.h>
#include <engine/ProxyControl.h>
#include <engine/ProxyServer.h>
#include <ui/MainWindow.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace host::app {

namespace {

constexpr DWORD DefaultPort = 8080;
constexpr DWORD LevelUnset = 0xFFFFFFFF;
constexpr const char* BrowserHelperModule = "UmbraIEExt.dll";
// The wizard is polled once a second. It must show its window within this time after it
// was started; after that the start-up waits, without a bound, until it is closed.
constexpr int WizardAppearSeconds = 60;

bool wizardWindowExists()
{
    return FindWindow(DIALOG_CLASS, WizardTitle) != 0;
}

DWORD readOrWrite(const settings::Key& key, const char* name, DWORD fallback)
{
    if (std::optional<DWORD> value = key.readDword(name)) {
        return *value;
    }
    key.writeDword(name, fallback);
    return fallback;
}

} // namespace

HostApplication::HostApplication(int argc, char** argv) : m_arguments(argv, argv + argc)
{
    m_paths = installPathsFrom(argc > 0 ? argv[0] : nullptr);
    setProcessEndHandler([this] { processEnd(); });
}

HostApplication::~HostApplication()
{
    setProcessEndHandler({});
    processEnd();
}

void HostApplication::startUp()
{
    if (!writeStartupValues()) {
        return;
    }
    const std::optional<DWORD> registered =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::IsRegisteredValue);
    if (registered.value_or(0) == 0) {
        runFirstRunSteps();
    }
    if (!readLevelsAndStartSwitch()) {
        return;
    }
    registerBrowserHelper();
    if (FindWindow(hostlink::LinkWindowClass, nullptr) != 0) {
        return; // another host runs: end silently and leave its key alone
    }
    m_ownsBrowserHelperKey = true;
    if (!createNamedObjects() || !createLinkWindow()) {
        return;
    }
    // The desktop's settings that a host which ended without its exit step (a crash, a
    // power loss) left pointed at the proxy come back before anything switches them on.
    host::recoverDesktopIntegration();
    (void)host::installBrowserLauncher();
    if (m_modules.load() == ModuleTable::LoadOutcome::EndProcess) {
        return;
    }
    m_server = std::make_unique<ProxyServer>(m_state);
    if (m_startSwitch == 0 || startProxy(*m_server) == 1) {
        runMainWindow();
    } else {
        MessageBox(0, FailedStartText, Caption, MB_OK | MB_ICONERROR);
    }
    shutDown();
}

bool HostApplication::writeStartupValues()
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!key) {
        return false;
    }
    key.writeStringNoZero(nullptr, m_paths.executable);
    key.writeString("DataFolder", m_paths.dataFolder);
    readOrWrite(key, settings::ProxyPortValue, DefaultPort);
    return true;
}

void HostApplication::runFirstRunSteps()
{
    (void)firstrun::registerSuite(m_paths.installFolder);
    firstrun::rewriteModulePaths(m_paths.installFolder);
    askForWizard();
}

void HostApplication::askForWizard()
{
    if (MessageBox(0, FirstRunQuestion, Caption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    const char* folder = m_paths.installFolder.empty() ? nullptr : m_paths.installFolder.c_str();
    std::string commandLine = std::string("\"") + WizardProgram + "\" " + WizardArgument;
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION wizard{};
    if (!CreateProcess(WizardProgram, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder, &startup, &wizard)) {
        return; // the wizard could not be started: there is nothing to wait for
    }
    CloseHandle(wizard.hThread);
    // A wizard that has ended is not waited for, whether its window was seen or not (it
    // failed, or it was quicker than one poll).
    const auto wizardRuns = [&wizard] {
        DWORD code = 0;
        return GetExitCodeProcess(wizard.hProcess, &code) && code == STILL_ACTIVE;
    };
    using namespace std::chrono_literals;
    const auto pollOnce = [this] {
        for (int step = 0; step < 10 && !m_signals.requested(); ++step) {
            std::this_thread::sleep_for(100ms);
        }
    };
    for (int second = 0; second < WizardAppearSeconds && !wizardWindowExists() && wizardRuns();
         ++second) {
        pollOnce();
    }
    while (wizardWindowExists() && wizardRuns() && !m_signals.requested()) {
        pollOnce();
    }
    CloseHandle(wizard.hProcess);
}

bool HostApplication::readLevelsAndStartSwitch()
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!key) {
        return false;
    }
    readOrWrite(key, settings::AnonymityLevelValue, LevelUnset);
    readOrWrite(key, settings::PrivacyLevelValue, LevelUnset);
    m_startSwitch = readOrWrite(key, settings::ActiveValue, 1);
    return true;
}

void HostApplication::registerBrowserHelper()
{
    const std::optional<std::string> program =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey).readString(nullptr, MaxPath);
    if (!program) {
        return;
    }
    const std::size_t at = program->find(ProgramFileName);
    if (at == std::string::npos) {
        return;
    }
    // Quoted, so that an install folder with spaces stays one argument.
    firstrun::runHidden("regsvr32 /s \"" + program->substr(0, at) + BrowserHelperModule + "\"");
    settings::Key::create(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);
}

bool HostApplication::createNamedObjects()
{
    m_mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HWND),
                                  hostlink::MainWindowSection);
    if (m_mapping == nullptr) {
        return false;
    }
    m_startedEvent = CreateEvent(nullptr, FALSE, FALSE, hostlink::StartedEvent);
    return m_startedEvent != nullptr;
}

bool HostApplication::createLinkWindow()
{
    WNDCLASS linkClass{};
    linkClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    linkClass.lpfnWndProc = DefWindowProc;
    linkClass.lpszClassName = hostlink::LinkWindowClass;
    if (RegisterClass(&linkClass) == 0) {
        OutputDebugString("Class Registration Failed\n");
        return false;
    }
    m_classRegistered = true;
    m_linkWindow =
        CreateWindowEx(WS_EX_APPWINDOW, hostlink::LinkWindowClass, "",
                       WS_POPUP | WS_BORDER | WS_SYSMENU, 0, 0, 1, 1, 0, 0, nullptr, nullptr);
    return m_linkWindow != 0;
}

void HostApplication::runMainWindow()
{
    QDialog trayParent; // the hidden parent of a "+Tray" start, never shown
    const bool startHidden = m_arguments.size() > 1 && m_arguments[1] == TrayArgument;
    {
        ui::MainWindow window(*m_server, m_state, startHidden, startHidden ? &trayParent : nullptr);
        window.run();
    }
    m_state.mainWindow = 0;
}

void HostApplication::shutDown()
{
    if (m_server->IsRunning()) {
        m_server->Stop();
    }
    // Closing the open connections and waiting for their threads before the modules go:
    // a connection thread must never run in a module that has been unloaded. Should one
    // not have ended, the modules are told to exit but stay mapped until the process ends.
    const bool idle = m_server->endConnections();
    m_server.reset();
    if (!idle) {
        std::fputs("Umbravia: a connection thread did not end; the modules stay loaded\n", stderr);
        m_modules.keepLoaded();
    }
    m_modules.exitAndUnload();
}

void HostApplication::processEnd()
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    if (m_linkWindow != 0) {
        DestroyWindow(m_linkWindow);
        m_linkWindow = 0;
    }
    if (m_classRegistered) {
        UnregisterClass(hostlink::LinkWindowClass, nullptr);
    }
    if (m_mapping != nullptr) {
        CloseHandle(m_mapping);
    }
    if (m_startedEvent != nullptr) {
        CloseHandle(m_startedEvent);
    }
    if (m_ownsBrowserHelperKey) {
        SHDeleteKey(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);
        // Only the instance that ran may have pointed the desktop at its proxy.
        host::switchDesktopOff();
    }
}

} // namespace host::app
