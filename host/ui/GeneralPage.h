#pragma once
// The general page of the main window (dialog 150): start and stop of the proxy, start
// with Windows, program configuration, alerts and the firewall proxy.

#include "core/ProgramIntegration.h"

#include <platform/Window.h>

#include <QWidget>

#include <string>

class QCheckBox;
class QPushButton;

namespace host {
class ProxyServer;
struct ProxyState;
} // namespace host

namespace host::ui {

class LedButton;

class GeneralPage : public QWidget, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 150;
    static constexpr UINT StartStopId = 1011;
    static constexpr UINT LedId = 1012;
    static constexpr UINT StartWithWindowsId = 1013;
    static constexpr UINT ProgramConfigurationId = 1014;
    static constexpr UINT AlertsId = 1015;
    static constexpr UINT FirewallId = 1016;
    static constexpr UINT ProxySettingsId = 1032;

    // Messages 1221, 1222 and 1224 go to state.mainWindow.
    GeneralPage(ProxyServer& server, ProxyState& state, QWidget* parent = nullptr);
    ~GeneralPage() override;

    // The page's initialisation: Run key, server state, alerts, firewall values.
    void loadSettings();
    // The Start/Stop button (and message 1524 from outside).
    void startStop();
    // Points the selected programs (and the desktop's chosen targets) at the local proxy
    // (true) or takes them off it.
    SwitchResult switchProgramIntegration(bool on, DesktopPart desktopPart = DesktopPart::Included);
    // What the main window runs when it closes: integration off.
    void exitStep();

    QPushButton* startStopButton() const { return m_startStop; }
    LedButton* led() const { return m_led; }
    QCheckBox* startWithWindowsBox() const { return m_startWithWindowsBox; }
    QPushButton* programConfigurationButton() const { return m_programConfiguration; }
    QCheckBox* alertsBox() const { return m_alertsBox; }
    QCheckBox* firewallBox() const { return m_firewallBox; }
    QPushButton* proxySettingsButton() const { return m_proxySettings; }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void buildControls();
    void buildGroups();
    void loadStartWithWindows();
    void loadFirewall();
    void toggleStartWithWindows();
    void toggleAlerts();
    void firewallClicked();
    void openProxySettings();
    void showProgramConfiguration();
    void sendToMainWindow(UINT message) const;

    ProxyServer& m_server;
    ProxyState& m_state;
    // Copy of the server's state, refreshed at initialisation and at each Start/Stop.
    DWORD m_running = 0;
    DWORD m_startWithWindows = 0;
    DWORD m_alerts = 1;
    // The program's command path written under the Run key (at most MAX_PATH bytes).
    std::string m_commandPath;

    QPushButton* m_startStop = nullptr;
    LedButton* m_led = nullptr;
    QCheckBox* m_startWithWindowsBox = nullptr;
    QPushButton* m_programConfiguration = nullptr;
    QCheckBox* m_alertsBox = nullptr;
    QCheckBox* m_firewallBox = nullptr;
    QPushButton* m_proxySettings = nullptr;
};

} // namespace host::ui
