#include "ChainPage.h"

#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <common/ModuleValues.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <platform/MessageBox.h>
#include <platform/WinInet.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <string>

namespace chain {

namespace {

constexpr const char* OpenFailure = "Invalid registry data";
constexpr const char* OpenCaption = "Chain";
constexpr const char* SaveFailure = "Invalide registry data";
constexpr const char* SaveCaption = "Proxy Chain Settings";
constexpr const char* Offline = "You are currently not connected to the internet";
constexpr const char* AdvancedCaption = "Proxy Chain Advanced Setting";
constexpr const char* BadPort = "The port must be a number from 1 to 65535.";
constexpr const char* BadPathLength = "The path length must be a number from 1 to 64.";
constexpr const char* BadTimeout = "The connection time-out must be a number of milliseconds.";

constexpr const char* PortValue = settings::ProxyPortValue;
constexpr const char* ConnectValue = settings::ConnectChainValue;
constexpr const char* OneProxyValue = values::chain::UseOneProxy;
constexpr const char* PathLengthValue = values::chain::PathLength;
constexpr const char* TimeoutValue = values::chain::ConnectionTimeout;
constexpr const char* AtStartupValue = values::chain::UpdateAtStartup;
constexpr const char* EveryValue = values::chain::UpdateEvery;

constexpr const char* Periods[] = {"15 minutes", "30 minutes", "Hour"};
constexpr DWORD NoPeriod = 0xFFFFFFFF; // -1
// The advanced dialog's fields before the page fills them.
constexpr DWORD DefaultPort = 8000;
constexpr WORD ComboSelectionChange = 1; // CBN_SELCHANGE

struct Text {
    const char* text;
    QRect units;
};
constexpr Text Groups[] = {
    {"Proxy Chain Setting", {4, 2, 324, 210}},
    {"Basic", {10, 30, 312, 68}},
    {"Update", {10, 102, 312, 66}},
};
constexpr Text Notes[] = {
    {"(Enable proxy chain protection.)", {168, 15, 150, 9}},
    {"(Connect using only one proxy.)", {104, 43, 212, 9}},
    {"(To increase the number of proxies of the chain Length)", {104, 59, 214, 9}},
    {"(requires server restart)", {106, 78, 150, 9}},
};

std::optional<DWORD> number(const std::string& text, DWORD low, DWORD high)
{
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(text);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<DWORD>(value);
}

} // namespace

ChainPage::ChainPage(QWidget* parent, std::function<HWND()> restartTarget)
    : SettingsPage(parent, Caption), m_restartTarget(std::move(restartTarget))
{
    buildControls();
    load();
}

void ChainPage::buildControls()
{
    for (const Text& group : Groups) {
        addGroup(group.text, group.units);
    }
    for (const Text& note : Notes) {
        addLabel(note.text, note.units)->setStyleSheet("color: #5a6473;");
    }
    addCheckBox(ConnectBox, "Connect through proxy chain.", QRect(14, 14, 150, 10));
    for (const auto& [id, text, units] :
         {std::tuple{OneProxy, "Use one Proxy", QRect(18, 42, 84, 10)},
          std::tuple{MultipleProxies, "Use Multiple Proxy", QRect(18, 58, 84, 10)}}) {
        auto* button = addControl(id, new QRadioButton(text, this), units);
        bindCommand(button, id);
    }
    addButton(AdvancedButton, "Advaced Settings", QRect(18, 75, 82, 14));
    addCheckBox(UpdateAtStartupBox, "Update proxy list at application startup.",
                QRect(18, 115, 220, 10));
    addCheckBox(UpdateEveryBox, "Update proxy list every :", QRect(18, 132, 116, 10));
    m_periods = addControl(PeriodCombo, new QComboBox(this), QRect(136, 130, 80, 13));
    for (const char* period : Periods) {
        m_periods->addItem(period);
    }
    m_periods->setCurrentIndex(-1);
    connect(m_periods, &QComboBox::activated, this, [this] {
        SendMessage(hwnd(), WM_COMMAND, MAKEWPARAM(PeriodCombo, ComboSelectionChange), 0);
    });
    addButton(UpdateButton, "Update Proxy Chain", QRect(18, 149, 90, 14));
    m_proxyList = addControl(ProxyList, new QListWidget(this), QRect(10, 174, 200, 30));
    m_proxyList->hide();
    addLabel("Current Proxy  List used", QRect(10, 170, 120, 9))->hide();
}

QRadioButton* ChainPage::radio(UINT id) const
{
    return qobject_cast<QRadioButton*>(control(id));
}

void ChainPage::load()
{
    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    if (!main) {
        MessageBox(hwnd(), OpenFailure, OpenCaption, MB_OK | MB_ICONERROR);
        updateEnabled();
        return;
    }
    m_port = main.readDword(PortValue);
    if (!loadModuleKey()) {
        updateEnabled();
        return;
    }
    PostMessage(hostlink::findMainWindow(), msg::UpdateProxyListViaChain, 0, 0);
}

bool ChainPage::loadModuleKey()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    if (!key) {
        MessageBox(hwnd(), OpenFailure, OpenCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    if (const std::optional<DWORD> one = key.readDword(OneProxyValue)) {
        radio(*one != 0 ? OneProxy : MultipleProxies)->setChecked(true);
    }
    const std::optional<DWORD> atStartup = key.readDword(AtStartupValue);
    if (const std::optional<DWORD> every = key.readDword(EveryValue)) {
        // A period box ticked with no period chosen would mean nothing: only a stored
        // period ticks it.
        if (atStartup.value_or(0) != 0) {
            checkBox(UpdateAtStartupBox)->setChecked(true);
        } else if (*every < std::size(Periods)) {
            checkBox(UpdateEveryBox)->setChecked(true);
        }
        m_periods->setCurrentIndex(*every < std::size(Periods) ? static_cast<int>(*every) : -1);
    }
    checkBox(ConnectBox)->setChecked(key.readDword(ConnectValue).value_or(0) != 0);
    m_timeout = key.readDword(TimeoutValue).value_or(0);
    const std::optional<DWORD> pathLength = key.readDword(PathLengthValue);
    if (pathLength) {
        m_pathLength = *pathLength;
    }
    updateEnabled();
    if (!pathLength) {
        MessageBox(hwnd(), OpenFailure, OpenCaption, MB_OK | MB_ICONERROR);
    }
    return true;
}

void ChainPage::updateEnabled()
{
    const bool on = checkBox(ConnectBox)->isChecked();
    enableControls({OneProxy, MultipleProxies, UpdateEveryBox, UpdateAtStartupBox}, on);
    // The advanced settings belong to a chain of several proxies, the period to its box.
    button(AdvancedButton)->setEnabled(on && !radio(OneProxy)->isChecked());
    m_periods->setEnabled(on && checkBox(UpdateEveryBox)->isChecked());
}

bool ChainPage::connectClicked()
{
    if (checkBox(ConnectBox)->isChecked() && !InternetGetConnectedState(nullptr, 0)) {
        MessageBox(hwnd(), Offline, "", MB_OK);
        checkBox(ConnectBox)->setChecked(false);
        updateEnabled();
        return false;
    }
    updateEnabled();
    return true;
}

void ChainPage::onPageAction()
{
    checkBox(ConnectBox)->setChecked(true);
    connectClicked();
    save();
}

void ChainPage::onCommand(UINT id, WORD code)
{
    switch (id) {
    case ConnectBox:
        notifyHost();
        connectClicked();
        return;
    case OneProxy:
        m_pathLength = 1;
        updateEnabled();
        notifyHost();
        return;
    case MultipleProxies:
        updateEnabled();
        notifyHost();
        return;
    case UpdateEveryBox:
        if (checkBox(UpdateEveryBox)->isChecked()) {
            checkBox(UpdateAtStartupBox)->setChecked(false);
        }
        updateEnabled();
        notifyHost();
        return;
    case UpdateAtStartupBox:
        if (checkBox(UpdateAtStartupBox)->isChecked()) {
            checkBox(UpdateEveryBox)->setChecked(false);
        }
        updateEnabled();
        notifyHost();
        return;
    case PeriodCombo:
        if (code == ComboSelectionChange) {
            notifyHost();
        }
        return;
    case AdvancedButton:
        openAdvanced();
        return;
    case UpdateButton:
        requestUpdate();
        return;
    default:
        return;
    }
}

void ChainPage::openAdvanced()
{
    pageui::EntryDialog dialog(this, AdvancedCaption,
                               {{"Port:", PortEdit},
                                {"Path Length:", PathLengthEdit},
                                {"Connection time-out (ms):", TimeoutEdit}},
                               "Advanced Setting");
    dialog.setNumeric(0, 65535);
    dialog.setNumeric(1, MaxPathLength);
    dialog.setNumeric(2, 0xFFFFFFFF);
    // The port and path length shown are the stored ones, not an earlier unsaved visit's.
    DWORD port = m_port.value_or(DefaultPort);
    DWORD pathLength = m_pathLength;
    if (settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey)) {
        port = main.readDword(PortValue).value_or(port);
    }
    if (settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey)) {
        pathLength = key.readDword(PathLengthValue).value_or(pathLength);
    }
    std::vector<std::string> texts = {std::to_string(port), std::to_string(pathLength),
                                      std::to_string(m_timeout)};
    for (;;) {
        const auto answer = dialog.run(texts);
        if (!answer) {
            return;
        }
        texts = *answer;
        const auto newPort = number(texts[0], 1, 65535);
        const auto newLength = number(texts[1], 1, MaxPathLength);
        const auto newTimeout =
            texts[2].empty() ? std::optional<DWORD>(0) : number(texts[2], 0, 0xFFFFFFFF);
        const char* problem = !newPort      ? BadPort
                              : !newLength  ? BadPathLength
                              : !newTimeout ? BadTimeout
                                            : nullptr;
        if (problem != nullptr) {
            MessageBox(dialog.hwnd(), problem, AdvancedCaption, MB_OK | MB_ICONERROR);
            continue;
        }
        m_port = *newPort;
        m_pathLength = *newLength;
        m_timeout = *newTimeout;
        notifyHost();
        return;
    }
}

void ChainPage::requestUpdate()
{
    button(UpdateButton)->setEnabled(false);
    QTimer::singleShot(UpdateDelayMs, this, [this] {
        PostMessage(hostlink::findMainWindow(), msg::RefreshProxyList, 0, 0);
        m_proxyList->clear();
        button(UpdateButton)->setEnabled(true);
    });
}

void ChainPage::save()
{
    const bool on = checkBox(ConnectBox)->isChecked();
    const bool one = radio(OneProxy)->isChecked();
    // One proxy is a chain of one; no chain at all is stored as length 0.
    const DWORD pathLength = !on ? 0 : one ? 1 : m_pathLength;
    const bool every = checkBox(UpdateEveryBox)->isChecked();
    const DWORD period = every && m_periods->currentIndex() >= 0
                             ? static_cast<DWORD>(m_periods->currentIndex())
                             : NoPeriod;
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    bool failed = !key;
    if (key) {
        key.writeDword(ConnectValue, on ? 1 : 0);
        key.writeDword(TimeoutValue, m_timeout);
        key.writeDword(PathLengthValue, pathLength);
        key.writeDword(OneProxyValue, one ? 1 : 0);
        key.writeDword(AtStartupValue, checkBox(UpdateAtStartupBox)->isChecked() ? 1 : 0);
        failed = key.writeDword(EveryValue, period) != ERROR_SUCCESS;
    }
    if (!failed && m_port) {
        settings::Key main =
            settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
        failed = !main;
        if (main) {
            const std::optional<DWORD> stored = main.readDword(PortValue);
            failed = main.writeDword(PortValue, *m_port) != ERROR_SUCCESS;
            const HWND host = m_restartTarget ? m_restartTarget() : 0;
            if (!failed && stored != m_port && host != 0 && IsWindow(host)) {
                PostMessage(host, msg::RestartProxy, 0, 0);
            }
        }
    }
    if (failed) {
        MessageBox(hwnd(), SaveFailure, SaveCaption, MB_OK | MB_ICONERROR);
    }
}

} // namespace chain
