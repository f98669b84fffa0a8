#include "GeneralPage.h"

#include "FirewallDialog.h"
#include "LedButton.h"
#include "ProgramIntegrationDlg.h"
#include "Skin.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <desktop/Autostart.h>
#include <engine/ProxyServer.h>
#include <engine/ProxyState.h>

namespace host::ui {

namespace {

constexpr const char* StartText = "Start";
constexpr const char* StopText = "Stop";
constexpr const char* StartWithWindowsText = "Start Umbravia when Windows start.";
constexpr const char* ProgramConfigurationText = "Program Configuration";
constexpr const char* AlertsText = "Enable Umbravia Alerts.";
constexpr const char* FirewallText = "Behind a Firwall";
constexpr const char* ProxySettingsText = "Proxy Settings";
constexpr const char* ConfigurationPrompt =
    "To setup programs installed on your system to use Umbravia please click below.";
constexpr const char* RestartNote = "(Requires browser restart)";
constexpr const char* AppCaption = "Umbravia";

constexpr const char* AlertsValue = "EnableAlerts";
constexpr const char* FirewallEnabledValue = "ProxyFirewallEnabled";
constexpr const char* FirewallAddressValue = "ProxyFirewall";
constexpr const char* FirewallPortValue = "ProxyFirePort";

struct GroupRow {
    const char* text;
    QRect area;
};

// The four frames of the page, top to bottom; the controls sit inside them.
const GroupRow Groups[] = {
    {"Application Startup", {12, 4, 444, 86}},
    {"Automatic Program Configuration", {12, 96, 444, 98}},
    {"Alert Setting", {12, 200, 444, 54}},
    {"Proxy/Firewall", {12, 260, 444, 66}},
};

// Where the restart notes stand: beside start-with-Windows and beside the alerts box.
const QRect RestartNotes[] = {{270, 58, 176, 22}, {270, 222, 176, 22}};

QLabel* noteLabel(const char* text, const QRect& area, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(area);
    label->setStyleSheet("color: #6b7385;");
    return label;
}

} // namespace

GeneralPage::GeneralPage(ProxyServer& server, ProxyState& state, QWidget* parent)
    : QWidget(parent), m_server(server), m_state(state)
{
    setObjectName("GeneralPage");
    buildGroups();
    buildControls();
    attachWidget(this);
}

GeneralPage::~GeneralPage() = default;

void GeneralPage::buildGroups()
{
    QFont font = this->font();
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(skin::PageArea.size()); // the main window's page area
    platform::paintPageWhite(*this);
    for (const GroupRow& row : Groups) {
        auto* group = new QGroupBox(row.text, this);
        group->setGeometry(row.area);
        group->lower();
    }
    auto* prompt = new QLabel(ConfigurationPrompt, this);
    prompt->setWordWrap(true);
    prompt->setGeometry(26, 114, 418, 34);
    for (const QRect& area : RestartNotes) {
        noteLabel(RestartNote, area, this);
    }
}

void GeneralPage::buildControls()
{
    const auto button = [this](const char* text, UINT id, const QRect& area) {
        auto* control = new QPushButton(text, this);
        control->setObjectName(QString::number(id));
        control->setGeometry(area);
        bindCommand(control, id);
        return control;
    };
    const auto checkBox = [this](const char* text, UINT id, const QRect& area) {
        auto* control = new QCheckBox(text, this);
        control->setObjectName(QString::number(id));
        control->setGeometry(area);
        bindCommand(control, id);
        return control;
    };
    m_startStop = button(StartText, StartStopId, {26, 24, 100, 28});
    m_led = new LedButton(this);
    m_led->setObjectName(QString::number(LedId));
    m_led->setGeometry(136, 28, 20, 20);
    m_startWithWindowsBox = checkBox(StartWithWindowsText, StartWithWindowsId, {26, 58, 240, 22});
    m_programConfiguration =
        button(ProgramConfigurationText, ProgramConfigurationId, {26, 152, 170, 28});
    m_alertsBox = checkBox(AlertsText, AlertsId, {26, 222, 240, 22});
    m_firewallBox = checkBox(FirewallText, FirewallId, {26, 286, 150, 22});
    m_proxySettings = button(ProxySettingsText, ProxySettingsId, {190, 283, 130, 28});
    m_proxySettings->setEnabled(false); // until the firewall box is checked
}

void GeneralPage::loadSettings()
{
    loadStartWithWindows();

    m_running = m_server.IsRunning() ? 1 : 0;
    m_startStop->setText(m_running != 0 ? StopText : StartText);
    m_led->setState(m_running != 0 ? 1 : 0);

    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (const std::optional<DWORD> alerts = main ? main.readDword(AlertsValue) : std::nullopt) {
        m_alerts = *alerts;
    }
    m_alertsBox->setChecked(m_alerts != 0);

    loadFirewall();
}

void GeneralPage::loadStartWithWindows()
{
    const settings::Key run = settings::Key::open(HKEY_CURRENT_USER, desktop::RunKey);
    if (run && run.readString(desktop::RunValue, MAX_PATH)) {
        m_startWithWindows = 1;
        m_startWithWindowsBox->setChecked(true);
    }
    // The path written under the Run key is the one the first run recorded. The Run key
    // may not exist yet on a fresh system: the path is read all the same, so that
    // switching start-with-Windows on never writes an empty command.
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    m_commandPath = main ? main.readString(nullptr, MAX_PATH).value_or("") : "";
    if (m_commandPath.empty()) {
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileName(nullptr, path, sizeof path);
        m_commandPath.assign(path, length < sizeof path ? length : 0);
    }
}

void GeneralPage::loadFirewall()
{
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    const std::optional<DWORD> enabled = main ? main.readDword(FirewallEnabledValue) : std::nullopt;
    if (!enabled) {
        return;
    }
    m_state.firewall.enabled = *enabled != 0;
    if (*enabled == 0) {
        return;
    }
    m_firewallBox->setChecked(true);
    m_proxySettings->setEnabled(true);
    if (const std::optional<DWORD> address = main.readDword(FirewallAddressValue)) {
        m_state.firewall.address = *address;
    }
    if (const std::optional<DWORD> port = main.readDword(FirewallPortValue)) {
        m_state.firewall.port = *port;
    }
}

void GeneralPage::startStop()
{
    m_running = m_server.IsRunning() ? 1 : 0;
    if (m_running != 0) {
        m_startStop->setText(StartText);
        switchProgramIntegration(false);
        sendToMainWindow(msg::StopProxy);
    } else {
        m_startStop->setText(StopText);
        switchProgramIntegration(true);
        sendToMainWindow(msg::StartProxy);
    }
    m_led->setState(m_running != 0 ? 0 : 1);
}

SwitchResult GeneralPage::switchProgramIntegration(bool on, DesktopPart desktopPart)
{
    // Without the configuration component the programs' part is skipped silently: the user
    // learns about it from the "Program Configuration" dialog's Apply.
    return host::switchProgramIntegration(on, desktopPart);
}

void GeneralPage::exitStep()
{
    switchProgramIntegration(false);
}

void GeneralPage::toggleStartWithWindows()
{
    m_startWithWindows = m_startWithWindows != 0 ? 0 : 1;
    m_startWithWindowsBox->setChecked(m_startWithWindows != 0);
    if (m_startWithWindows != 0) {
        const settings::Key run = settings::Key::create(HKEY_CURRENT_USER, desktop::RunKey);
        if (run && !m_commandPath.empty()) {
            run.writeStringNoZero(desktop::RunValue, m_commandPath);
        }
    } else {
        const settings::Key run =
            settings::Key::open(HKEY_CURRENT_USER, desktop::RunKey, KEY_ALL_ACCESS);
        if (run) {
            RegDeleteValue(run.get(), desktop::RunValue);
        }
    }
    // No Linux session reads the Run key: the session's autostart entry follows it.
    if (const desktop::Result mirrored = desktop::mirrorAutostart(); !mirrored) {
        MessageBox(hwnd(), (desktop::AutostartFailedText + mirrored.message).c_str(), AppCaption,
                   MB_OK | MB_ICONWARNING);
    }
    sendToMainWindow(msg::SettingsModified);
}

void GeneralPage::toggleAlerts()
{
    m_alerts = m_alerts != 0 ? 0 : 1;
    m_alertsBox->setChecked(m_alerts != 0);
    const settings::Key main =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    if (main) {
        main.writeDword(AlertsValue, m_alerts);
    }
    sendToMainWindow(msg::SettingsModified);
}

void GeneralPage::firewallClicked()
{
    const bool on = m_firewallBox->isChecked();
    m_state.firewall.enabled = on;
    const settings::Key main =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    if (main) {
        main.writeDword(FirewallEnabledValue, on ? 1 : 0);
    }
    m_proxySettings->setEnabled(on);
}

void GeneralPage::openProxySettings()
{
    FirewallDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    dialog.saveSettings();
    m_state.firewall.address = dialog.address();
    m_state.firewall.port = dialog.port();
}

void GeneralPage::showProgramConfiguration()
{
    ProgramIntegrationDlg dialog(this);
    dialog.exec();
}

void GeneralPage::sendToMainWindow(UINT message) const
{
    const HWND mainWindow = m_state.mainWindow.load();
    if (mainWindow != 0) {
        SendMessage(mainWindow, message, 0, 0);
    }
}

LRESULT GeneralPage::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == msg::GeneralStartStop) {
        startStop();
        return 0;
    }
    if (message != WM_COMMAND) {
        return Window::windowProc(message, wParam, lParam);
    }
    switch (LOWORD(wParam)) {
    case StartStopId:
        startStop();
        return 0;
    case StartWithWindowsId:
        toggleStartWithWindows();
        return 0;
    case ProgramConfigurationId:
        showProgramConfiguration();
        return 0;
    case AlertsId:
        toggleAlerts();
        return 0;
    case FirewallId:
        firewallClicked();
        return 0;
    case ProxySettingsId:
        openProxySettings();
        return 0;
    default:
        return Window::windowProc(message, wParam, lParam);
    }
}

} // namespace host::ui
