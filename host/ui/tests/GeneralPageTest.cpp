// The general page: its initialisation from the registry and the server, Start/Stop and
// message 1524, start with Windows, alerts, the firewall box and dialog, and the program
// integration switch with and without the configuration component, the Program
// Configuration button.

#include "ui/GeneralPage.h"

#include "CountingRigwright.h"
#include "UiTestSupport.h"
#include "core/ModuleTable.h"
#include "core/ProgramIntegration.h"
#include "engine/ProxyControl.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"
#include "ui/FirewallDialog.h"
#include "ui/LedButton.h"
#include "ui/ProgramIntegrationDlg.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <common/ui/IpAddressEdit.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <desktop/Autostart.h>
#include <desktop/DesktopIntegration.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

using host::IntegrationArgument;
using host::IntegrationCall;
using host::IntegrationOutcome;
using host::ui::GeneralPage;

namespace {

constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* ProgramPath = "C:\\Program Files\\Umbravia\\Umbravia.exe";

class GeneralPageTest : public testsupport::PrefixTest {
protected:
    GeneralPageTest()
    {
        registerModule(settings::ChainKey, "TableChain");
        registerModule(settings::FiltersKey, "TableFilters");
        mainKey().writeDword("PROXYPORT", static_cast<DWORD>(testsupport::freePort()));
        mainKey().writeString(nullptr, ProgramPath);
        EXPECT_EQ(m_modules.load(), host::ModuleTable::LoadOutcome::Loaded);
        m_state.mainWindow = m_mainWindow.hwnd();
    }
    ~GeneralPageTest() override { host::stopProxy(m_server); }

    static void registerModule(const char* key, const std::string& name)
    {
        const auto file =
            testsupport::testModulesDir() / ("host_testmodule_" + name) / (name + ".dll");
        settings::Key::create(HKEY_LOCAL_MACHINE, key)
            .writeString("PathName", platform::toDosPath(file).str());
    }
    static settings::Key mainKey()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    static std::optional<DWORD> mainDword(const char* name)
    {
        return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, name);
    }
    std::size_t sent(UINT message) const { return m_mainWindow.received(message).size(); }

    // A page as the main window makes it: created, then loaded.
    std::unique_ptr<GeneralPage> makePage()
    {
        auto page = std::make_unique<GeneralPage>(m_server, m_state);
        page->loadSettings();
        return page;
    }

    // Answers the firewall dialog that the next modal loop opens.
    static void answerFirewallDialog(std::function<void(host::ui::FirewallDialog&)> answer)
    {
        auto* timer = new QTimer;
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
            auto* dialog =
                qobject_cast<host::ui::FirewallDialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr) {
                timer->stop();
                timer->deleteLater();
                answer(*dialog);
            }
        });
        timer->start();
    }

    platform::ScopedScriptedPresenter m_boxes;
    host::ModuleTable m_modules;
    host::ProxyState m_state{m_modules};
    host::ProxyServer m_server{m_state};
    uitest::RecordingWindow m_mainWindow;
};

TEST_F(GeneralPageTest, ShowsEveryControlWithItsTextInsideThePageArea)
{
    GeneralPage page(m_server, m_state);
    EXPECT_EQ(page.size(), QSize(468, 333));
    EXPECT_EQ(page.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(page.windowTitle().isEmpty());
    const std::vector<std::pair<UINT, QString>> controls = {
        {GeneralPage::StartStopId, "Start"},
        {GeneralPage::StartWithWindowsId, "Start Umbravia when Windows start."},
        {GeneralPage::ProgramConfigurationId, "Program Configuration"},
        {GeneralPage::AlertsId, "Enable Umbravia Alerts."},
        {GeneralPage::FirewallId, "Behind a Firwall"},
        {GeneralPage::ProxySettingsId, "Proxy Settings"},
    };
    for (const auto& [id, text] : controls) {
        auto* control = page.findChild<QAbstractButton*>(QString::number(id));
        ASSERT_NE(control, nullptr) << id;
        EXPECT_EQ(control->text(), text);
        EXPECT_TRUE(page.rect().contains(control->geometry())) << id;
    }
    ASSERT_NE(page.findChild<host::ui::LedButton*>("1012"), nullptr);
    EXPECT_EQ(page.led(), page.findChild<host::ui::LedButton*>("1012"));
    EXPECT_FALSE(page.proxySettingsButton()->isEnabled());

    std::set<std::string> groups;
    for (QGroupBox* group : page.findChildren<QGroupBox*>()) {
        groups.insert(group->title().toStdString());
        EXPECT_TRUE(page.rect().contains(group->geometry()));
    }
    EXPECT_EQ(groups,
              (std::set<std::string>{"Application Startup", "Automatic Program Configuration",
                                     "Alert Setting", "Proxy/Firewall"}));
    int notes = 0;
    bool prompt = false;
    for (QLabel* label : page.findChildren<QLabel*>()) {
        notes += label->text() == "(Requires browser restart)" ? 1 : 0;
        prompt = prompt || label->text() == "To setup programs installed on your system to "
                                            "use Umbravia please click below.";
    }
    EXPECT_EQ(notes, 2);
    EXPECT_TRUE(prompt);
}

TEST_F(GeneralPageTest, AFreshSystemLoadsDefaultsAndTellsTheMainWindowNothing)
{
    auto page = makePage();
    EXPECT_FALSE(page->startWithWindowsBox()->isChecked());
    EXPECT_TRUE(page->alertsBox()->isChecked()); // alerts are on until EnableAlerts says no
    EXPECT_FALSE(page->firewallBox()->isChecked());
    EXPECT_FALSE(page->proxySettingsButton()->isEnabled());
    EXPECT_EQ(page->startStopButton()->text(), "Start");
    EXPECT_EQ(page->led()->state(), 0);
    EXPECT_FALSE(m_state.firewall.enabled.load());
    EXPECT_EQ(sent(msg::SettingsModified), 0u);
}

TEST_F(GeneralPageTest, LoadsTheStoredSettingsAndTheFirewallIntoTheProcessWideValues)
{
    settings::Key::create(HKEY_CURRENT_USER, RunKey).writeString("Umbravia", ProgramPath);
    mainKey().writeDword("EnableAlerts", 0);
    mainKey().writeDword("ProxyFirewallEnabled", 1);
    mainKey().writeDword("ProxyFirewall", 0x0A000001);
    mainKey().writeDword("ProxyFirePort", 3128);
    auto page = makePage();
    EXPECT_TRUE(page->startWithWindowsBox()->isChecked());
    EXPECT_FALSE(page->alertsBox()->isChecked());
    EXPECT_TRUE(page->firewallBox()->isChecked());
    EXPECT_TRUE(page->proxySettingsButton()->isEnabled());
    EXPECT_TRUE(m_state.firewall.enabled.load());
    EXPECT_EQ(m_state.firewall.address.load(), 0x0A000001u);
    EXPECT_EQ(m_state.firewall.port.load(), 3128u);
}

TEST_F(GeneralPageTest, AFirewallSwitchedOffKeepsTheAddressOutOfTheSessions)
{
    mainKey().writeDword("ProxyFirewallEnabled", 0);
    mainKey().writeDword("ProxyFirewall", 0x0A000001);
    mainKey().writeDword("ProxyFirePort", 3128);
    auto page = makePage();
    EXPECT_FALSE(page->firewallBox()->isChecked());
    EXPECT_FALSE(page->proxySettingsButton()->isEnabled());
    EXPECT_FALSE(m_state.firewall.enabled.load());
    EXPECT_EQ(m_state.firewall.address.load(), 0u);
}

TEST_F(GeneralPageTest, StartStopWhileRunningSendsStopAndLeavesStartAndADarkLed)
{
    ASSERT_EQ(host::startProxy(m_server), 1);
    auto page = makePage();
    EXPECT_EQ(page->startStopButton()->text(), "Stop");
    EXPECT_EQ(page->led()->state(), 1);

    page->startStopButton()->click();
    EXPECT_EQ(sent(msg::StopProxy), 1u);
    EXPECT_EQ(sent(msg::StartProxy), 0u);
    EXPECT_EQ(page->startStopButton()->text(), "Start");
    EXPECT_EQ(page->led()->state(), 0);
    EXPECT_TRUE(m_boxes->calls().empty()); // the integration switch skips silently
}

TEST_F(GeneralPageTest, StartStopWhileStoppedSendsStartAndLightsTheLed)
{
    auto page = makePage();
    page->startStopButton()->click();
    EXPECT_EQ(sent(msg::StartProxy), 1u);
    EXPECT_EQ(sent(msg::StopProxy), 0u);
    EXPECT_EQ(page->startStopButton()->text(), "Stop");
    EXPECT_EQ(page->led()->state(), 1);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(GeneralPageTest, Message1524ActsAsAStartStopClick)
{
    auto page = makePage();
    SendMessage(page->hwnd(), msg::GeneralStartStop, 0, 0);
    EXPECT_EQ(sent(msg::StartProxy), 1u);
    EXPECT_EQ(page->startStopButton()->text(), "Stop");

    ASSERT_EQ(host::startProxy(m_server), 1);
    SendMessage(page->hwnd(), msg::GeneralStartStop, 0, 0);
    EXPECT_EQ(sent(msg::StopProxy), 1u);
    EXPECT_EQ(page->startStopButton()->text(), "Start");
    EXPECT_EQ(page->led()->state(), 0);
}

TEST_F(GeneralPageTest, StartWithWindowsWritesTheProgramPathAndTwoTogglesLeaveNoValue)
{
    auto page = makePage(); // the Run key does not exist yet on this fresh system
    page->startWithWindowsBox()->click();
    EXPECT_TRUE(page->startWithWindowsBox()->isChecked());
    {
        const settings::Key run = settings::Key::open(HKEY_CURRENT_USER, RunKey);
        ASSERT_TRUE(run);
        DWORD type = 0;
        DWORD size = 0;
        ASSERT_EQ(RegQueryValueEx(run.get(), "Umbravia", nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, std::string(ProgramPath).size()); // stored without the zero
        EXPECT_EQ(run.readString("Umbravia").value_or(""), ProgramPath);
    }
    EXPECT_EQ(sent(msg::SettingsModified), 1u);

    page->startWithWindowsBox()->click();
    EXPECT_FALSE(page->startWithWindowsBox()->isChecked());
    EXPECT_FALSE(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia"));
    EXPECT_EQ(sent(msg::SettingsModified), 2u);

    // A page loaded afterwards sees it off.
    auto later = makePage();
    EXPECT_FALSE(later->startWithWindowsBox()->isChecked());
}

TEST_F(GeneralPageTest, StartWithWindowsFallsBackToTheRunningProgramWhenNoPathWasRecorded)
{
    ASSERT_EQ(RegDeleteValue(mainKey().get(), nullptr), ERROR_SUCCESS);
    auto page = makePage();
    page->startWithWindowsBox()->click();
    char self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileName(nullptr, self, sizeof self), 0u);
    EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia").value_or(""),
              self);
}

TEST_F(GeneralPageTest, AlertsBoxWritesEnableAlertsEachTime)
{
    auto page = makePage();
    page->alertsBox()->click();
    EXPECT_FALSE(page->alertsBox()->isChecked());
    EXPECT_EQ(mainDword("EnableAlerts"), 0u);
    EXPECT_EQ(sent(msg::SettingsModified), 1u);
    page->alertsBox()->click();
    EXPECT_TRUE(page->alertsBox()->isChecked());
    EXPECT_EQ(mainDword("EnableAlerts"), 1u);
    EXPECT_EQ(sent(msg::SettingsModified), 2u);
}

TEST_F(GeneralPageTest, UncheckingBehindAFirewallDisablesProxySettingsAtOnceKeepingTheAddress)
{
    mainKey().writeDword("ProxyFirewallEnabled", 1);
    mainKey().writeDword("ProxyFirewall", 0xC0A80001);
    mainKey().writeDword("ProxyFirePort", 8000);
    auto page = makePage();

    page->firewallBox()->click();
    EXPECT_FALSE(page->proxySettingsButton()->isEnabled());
    EXPECT_FALSE(m_state.firewall.enabled.load());
    EXPECT_EQ(mainDword("ProxyFirewallEnabled"), 0u);
    EXPECT_EQ(mainDword("ProxyFirewall"), 0xC0A80001u);
    EXPECT_EQ(mainDword("ProxyFirePort"), 8000u);

    page->firewallBox()->click();
    EXPECT_TRUE(page->proxySettingsButton()->isEnabled());
    EXPECT_TRUE(m_state.firewall.enabled.load());
    EXPECT_EQ(mainDword("ProxyFirewallEnabled"), 1u);
    EXPECT_EQ(sent(msg::SettingsModified), 0u);
}

TEST_F(GeneralPageTest, FirewallDialogOkWritesBothValuesAndTheProcessWideOnes)
{
    auto page = makePage();
    page->firewallBox()->click();
    answerFirewallDialog([](host::ui::FirewallDialog& dialog) {
        const char* fields[] = {"10", "1", "2", "3"};
        for (int i = 0; i < 4; ++i) {
            dialog.addressEdit()->field(i)->setText(fields[i]);
        }
        dialog.portEdit()->setText("3128");
        dialog.accept();
    });
    page->proxySettingsButton()->click();
    EXPECT_EQ(mainDword("ProxyFirewall"), 0x0A010203u);
    EXPECT_EQ(mainDword("ProxyFirePort"), 3128u);
    EXPECT_EQ(m_state.firewall.address.load(), 0x0A010203u);
    EXPECT_EQ(m_state.firewall.port.load(), 3128u);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(GeneralPageTest, FirewallDialogCancelWritesNothing)
{
    mainKey().writeDword("ProxyFirewallEnabled", 1);
    mainKey().writeDword("ProxyFirewall", 0xC0A80001);
    mainKey().writeDword("ProxyFirePort", 8000);
    auto page = makePage();
    answerFirewallDialog([](host::ui::FirewallDialog& dialog) {
        dialog.portEdit()->setText("9999");
        dialog.reject();
    });
    page->proxySettingsButton()->click();
    EXPECT_EQ(mainDword("ProxyFirewall"), 0xC0A80001u);
    EXPECT_EQ(mainDword("ProxyFirePort"), 8000u);
    EXPECT_EQ(m_state.firewall.address.load(), 0xC0A80001u);
    EXPECT_EQ(m_state.firewall.port.load(), 8000u);
}

TEST_F(GeneralPageTest, IntegrationSwitchReportsTheMissingComponentAndChangesNothing)
{
    mainKey().writeDword("IntegrateWithIE", 1);
    auto page = makePage();
    EXPECT_EQ(page->switchProgramIntegration(true).programs, IntegrationOutcome::ComponentMissing);
    EXPECT_EQ(page->switchProgramIntegration(false).programs, IntegrationOutcome::ComponentMissing);
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::ComponentMissing);
    page->exitStep();
    EXPECT_TRUE(m_boxes->calls().empty());
    EXPECT_EQ(mainDword("IntegrateWithIE"), 1u);
    EXPECT_EQ(sent(msg::SettingsModified), 0u);
}

TEST_F(GeneralPageTest, StartStopSwitchesTheChosenProgramsOnThenOff)
{
    ASSERT_TRUE(uitest::registerCountingRigwright());
    mainKey().writeDword("PROXYPORT", 3128);
    mainKey().writeDword("IntegrateWithIE", 1);
    auto page = makePage();
    page->startStopButton()->click(); // stopped: integration on, then the start request
    ASSERT_EQ(host::startProxy(m_server), 1);
    page->startStopButton()->click(); // running: integration off, then the stop request
    page->exitStep();
    EXPECT_EQ(uitest::countedCalls(),
              (std::vector<std::string>{"SetIEProxySettings 1 127.0.0.1 3128",
                                        "SetIEProxySettings 0 127.0.0.1 3128",
                                        "SetIEProxySettings 0 127.0.0.1 3128"}));
    EXPECT_EQ(sent(msg::StartProxy), 1u);
    EXPECT_EQ(sent(msg::StopProxy), 1u);
}

TEST_F(GeneralPageTest, StartStopPointsTheDesktopAtTheProxyAndTakesItOffAgain)
{
    mainKey().writeDword("PROXYPORT", 3128);
    const std::filesystem::path folder = m_prefix.configHome() / "environment.d";
    std::filesystem::create_directories(folder);
    testsupport::writeFile(folder / "10-mine.conf", "EDITOR=vi\n");
    if (!desktop::detected(desktop::Target::Environment)) {
        GTEST_SKIP() << "gap: the desktop component does not find the login environment yet";
    }
    const auto onTheProxy = [&] {
        std::size_t count = 0;
        for (const auto& file : std::filesystem::directory_iterator(folder)) {
            count += testsupport::readFile(file.path()).find("127.0.0.1:3128") != std::string::npos;
        }
        return count;
    };
    auto page = makePage();
    page->startStopButton()->click(); // stopped: integration on, then the start request
    EXPECT_EQ(onTheProxy(), 1u);
    EXPECT_TRUE(desktop::DesktopIntegration::journalPending());
    ASSERT_EQ(host::startProxy(m_server), 1);
    page->startStopButton()->click(); // running: integration off, then the stop request
    EXPECT_EQ(onTheProxy(), 0u);
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
    EXPECT_EQ(testsupport::readFile(folder / "10-mine.conf"), "EDITOR=vi\n");
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();

    // A target the user turned off stays as it is.
    mainKey().writeDword("IntegrateWithEnvironment", 0);
    page->switchProgramIntegration(true);
    EXPECT_EQ(onTheProxy(), 0u);
    page->exitStep();
}

TEST_F(GeneralPageTest, StartWithWindowsPutsTheProgramIntoTheSessionAutostartAndTakesItOut)
{
    const std::filesystem::path folder = m_prefix.configHome() / "autostart";
    const std::filesystem::path entry = folder / "umbravia.desktop";
    if (!desktop::mirrorAutostart()) {
        GTEST_SKIP() << "gap: the autostart entry is not built yet";
    }
    ASSERT_EQ(desktop::autostartEntryPath(), entry);
    testsupport::writeFile(folder / "other.desktop", "[Desktop Entry]\nName=Other\n");
    auto page = makePage();
    page->startWithWindowsBox()->click();
    ASSERT_TRUE(std::filesystem::exists(entry));
    const std::string text = testsupport::readFile(entry);
    // The Run value's DOS path as the session starts it, in the tray.
    EXPECT_NE(text.find((m_prefix.driveC() / "Program Files" / "Umbravia").string()),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("+Tray"), std::string::npos) << text;
    const testsupport::ProcessResult valid =
        testsupport::runProcess({"desktop-file-validate", entry.string()});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();

    page->startWithWindowsBox()->click();
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(testsupport::readFile(folder / "other.desktop"), "[Desktop Entry]\nName=Other\n");
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();
}

TEST_F(GeneralPageTest, ProgramConfigurationOpensTheIntegrationDialog)
{
    auto page = makePage();
    QString title;
    bool modal = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [&title, &modal, timer] {
        auto* dialog =
            qobject_cast<host::ui::ProgramIntegrationDlg*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            timer->stop();
            timer->deleteLater();
            title = dialog->windowTitle();
            modal = dialog->isModal();
            dialog->cancelButton()->click();
        }
    });
    timer->start();
    page->programConfigurationButton()->click();
    EXPECT_EQ(title, "Umbravia Rigwright");
    EXPECT_TRUE(modal);
    // Cancel stores nothing and no box was shown.
    EXPECT_FALSE(mainDword("IntegrateWithIE"));
    EXPECT_TRUE(m_boxes->calls().empty());
}

// The calls the switch would make once the component exists.
class IntegrationCallsTest : public testsupport::PrefixTest {
protected:
    static settings::Key mainKey()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    static std::vector<std::string> methods(const std::vector<IntegrationCall>& calls)
    {
        std::vector<std::string> names;
        for (const IntegrationCall& call : calls) {
            names.push_back(call.method);
        }
        return names;
    }
};

TEST_F(IntegrationCallsTest, EverySelectedProgramInTheFixedOrderWithTheConfiguredPort)
{
    // Written in reverse, to show that the order is the switch's own.
    for (const char* value : {"IntegrateWithCute_FTP", "IntegrateWithWS_FTP", "IntegrateWithMIRC",
                              "IntegrateWithYahooMessenger", "IntegrateWithMSNMessenger",
                              "IntegrateWithOpera", "IntegrateWithNetscape", "IntegrateWithIE"}) {
        mainKey().writeDword(value, 1);
    }
    mainKey().writeDword("PROXYPORT", 3128);
    const std::vector<IntegrationCall> calls = host::integrationCalls(true);
    EXPECT_EQ(methods(calls),
              (std::vector<std::string>{"SetIEProxySettings", "SetNetscapeProxySettings",
                                        "SetOperaProxySettings", "SetMSNProxySettings",
                                        "SetYahooMessangerProxySettings", "SetMircProxySettings",
                                        "SetWS_FTPProxySettings", "SetCute_FTPProxySettings"}));
    using A = std::vector<IntegrationArgument>;
    const std::string host = "127.0.0.1";
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].arguments, (A{1L, host, 3128u}));
    EXPECT_EQ(calls[1].arguments, (A{host, 3128u, 1L}));
    EXPECT_EQ(calls[2].arguments, (A{1L, host, 3128u}));
    EXPECT_EQ(calls[3].arguments, (A{1L, 4, host, 3128u}));
    EXPECT_EQ(calls[4].arguments, (A{1L, host, 3128u, 1L, host, 80u, 4}));
    EXPECT_EQ(calls[5].arguments, (A{1L, host, 3128u, std::string("proxy")}));
    EXPECT_EQ(calls[6].arguments, (A{1L, host, 3128u, 4}));
    EXPECT_EQ(calls[7].arguments, (A{host, 3128u, 1}));

    const std::vector<IntegrationCall> off = host::integrationCalls(false);
    ASSERT_EQ(off.size(), 8u);
    EXPECT_EQ(off[0].arguments, (A{0L, host, 3128u}));
    EXPECT_EQ(off[4].arguments, (A{0L, host, 3128u, 0L, host, 80u, 4}));
    EXPECT_EQ(off[7].arguments, (A{host, 3128u, 1})); // CuteFTP keeps the proxy either way
}

TEST_F(IntegrationCallsTest, OnlyValuesOfExactlyOneSelectAndThePortDefaultsTo8080)
{
    mainKey().writeDword("IntegrateWithOpera", 1);
    mainKey().writeDword("IntegrateWithIE", 2);
    mainKey().writeDword("IntegrateWithMIRC", 0);
    const std::vector<IntegrationCall> calls = host::integrationCalls(true);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_STREQ(calls[0].value, "IntegrateWithOpera");
    EXPECT_EQ(calls[0].arguments,
              (std::vector<IntegrationArgument>{1L, std::string("127.0.0.1"), 8080u}));
}

TEST_F(IntegrationCallsTest, NothingIsSelectedOnAFreshSystem)
{
    EXPECT_TRUE(host::integrationCalls(true).empty());
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
