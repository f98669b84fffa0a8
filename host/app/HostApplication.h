#pragma once
// The host's application object: the start-up routine from the install folder to the
// main window, and the shutdown order after it. One per process; main() runs startUp()
// and then processEnd().

#include "InstallPaths.h"
#include "ShutdownSignals.h"

#include <common/HostMessages.h>

#include <core/ModuleTable.h>
#include <engine/ProxyState.h>

#include <memory>
#include <string>
#include <vector>

namespace host {
class ProxyServer;
}

namespace host::app {

inline constexpr const char* Caption = "Umbravia";
inline constexpr const char* FailedStartText = "Failed start proxy server";
inline constexpr const char* FirstRunQuestion =
    "This is the first time you run Umbravia, no settings are currentlly enabled do you want "
    "to run Umbravia Settings Wziard so that you can configure Umbravia";
inline constexpr const char* WizardProgram = "Umbravia Settings Wizard.exe";
// Tells the wizard that the host started it (it then starts no host of its own).
inline constexpr const char* WizardArgument = "10";
inline constexpr const char* WizardTitle = hostlink::WizardWindowTitle;
inline constexpr const char* TrayArgument = "+Tray";

class HostApplication {
public:
    HostApplication(int argc, char** argv);
    ~HostApplication();
    HostApplication(const HostApplication&) = delete;
    HostApplication& operator=(const HostApplication&) = delete;

    // The whole start-up, the main window's run and the shutdown of the proxy and the
    // modules. Returns when the process is to end.
    void startUp();
    // What the process end removes: the link window and its class, the named objects,
    // and the browser helper object key and whatever of the desktop still points at the
    // proxy (only by the instance that ran; a second instance leaves the first one's key
    // and desktop alone). Runs once.
    void processEnd();

private:
    bool writeStartupValues();
    void runFirstRunSteps();
    void askForWizard();
    bool readLevelsAndStartSwitch();
    void registerBrowserHelper();
    bool createNamedObjects();
    bool createLinkWindow();
    void runMainWindow();
    void shutDown();

    std::vector<std::string> m_arguments;
    InstallPaths m_paths;
    ModuleTable m_modules;
    ProxyState m_state{m_modules};
    std::unique_ptr<ProxyServer> m_server;
    ShutdownSignals m_signals{m_state.mainWindow};
    DWORD m_startSwitch = 1;
    HWND m_linkWindow = 0;
    bool m_classRegistered = false;
    HANDLE m_mapping = nullptr;
    HANDLE m_startedEvent = nullptr;
    bool m_ownsBrowserHelperKey = false;
    bool m_ended = false;
};

} // namespace host::app
