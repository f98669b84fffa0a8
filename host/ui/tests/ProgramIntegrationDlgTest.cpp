// The program integration dialog against the counting stand-in of the configuration
// component: its controls, detection, the stored choices, Apply and OK (which calls, which
// boxes cleared, what is stored), the toolbar step, Backup and Restore, Cancel, and the
// component missing.

#include "ui/ProgramIntegrationDlg.h"

#include "CountingRigwright.h"
#include "DetectedPrograms.h"
#include "UiTestSupport.h"

#include <common/Settings.h>
#include <platform/Files.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

#include <desktop/DesktopIntegration.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

using host::ui::ProgramIntegrationDlg;
using Calls = std::vector<std::string>;

namespace {

constexpr const char* Uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* ExtensionKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\"
                                     "{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* BandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";

// Every program box id in the order the dialog works through them.
constexpr UINT ProgramIds[] = {ProgramIntegrationDlg::InternetExplorerId,
                               ProgramIntegrationDlg::NetscapeId,
                               ProgramIntegrationDlg::OperaId,
                               ProgramIntegrationDlg::MsnMessengerId,
                               ProgramIntegrationDlg::YahooMessengerId,
                               ProgramIntegrationDlg::MircId,
                               ProgramIntegrationDlg::WsFtpId,
                               ProgramIntegrationDlg::CuteFtpId};

class ProgramIntegrationDlgTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(uitest::registerCountingRigwright());
        mainKey().writeDword("PROXYPORT", 3128);
        mainKey().writeString(nullptr, "C:\\Program Files\\Umbravia\\Umbravia.exe");
    }
    static settings::Key mainKey()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    static std::optional<DWORD> stored(const char* name)
    {
        return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, name);
    }
    static void uninstallEntry(HKEY root, const std::string& name)
    {
        testsupport::installUninstallEntry(root, name);
    }
    void installMsnFile() const { testsupport::installMsnProgramFile(m_prefix.driveC()); }
    void installEverything() const { testsupport::installEveryDetectedProgram(m_prefix.driveC()); }
    static void storeAll(DWORD value)
    {
        for (const char* name :
             {"IntegrateWithIE", "IntegrateWithNetscape", "IntegrateWithOpera",
              "IntegrateWithMSNMessenger", "IntegrateWithYahooMessenger", "IntegrateWithMIRC",
              "IntegrateWithWS_FTP", "IntegrateWithCute_FTP", "ShowIEToolbar"}) {
            mainKey().writeDword(name, value);
        }
    }
    static std::vector<bool> checks(const ProgramIntegrationDlg& dialog)
    {
        std::vector<bool> states;
        for (UINT id : ProgramIds) {
            states.push_back(dialog.programBox(id)->isChecked());
        }
        return states;
    }
    static std::vector<bool> enabled(const ProgramIntegrationDlg& dialog)
    {
        std::vector<bool> states;
        for (UINT id : ProgramIds) {
            states.push_back(dialog.programBox(id)->isEnabled());
        }
        return states;
    }

    platform::ScopedScriptedPresenter m_boxes;
};

} // namespace

TEST_F(ProgramIntegrationDlgTest, ShowsEveryControlWithItsTextAndTheHiddenProgramBoxes)
{
    ProgramIntegrationDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Umbravia Rigwright");
    const std::vector<std::pair<UINT, const char*>> texts = {
        {1000, "Internet Explorer"}, {1001, "Netscape"}, {1002, "Opera"},  {1004, "MSN Messenger"},
        {1005, "Yahoo Messenger"},   {1019, "Mirc"},     {1007, "WS FTP"}, {1006, "Cute FTP"}};
    for (const auto& [id, text] : texts) {
        const QCheckBox* box = dialog.programBox(id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->objectName(), QString::number(id));
        EXPECT_EQ(box->isHidden(), id == 1019 || id == 1007 || id == 1006) << id;
    }
    EXPECT_EQ(dialog.toolbarBox()->text(),
              "Add Umbravia toolbar to Internet Explorer. (Requires browser restart)");
    EXPECT_EQ(dialog.backupButton()->text(), "Backup my proxy configuration.");
    EXPECT_EQ(dialog.restoreButton()->text(), "Restore my proxy configuration.");
    EXPECT_TRUE(dialog.backupButton()->isCheckable());
    EXPECT_TRUE(dialog.restoreButton()->isCheckable());
    EXPECT_EQ(dialog.okButton()->text(), "OK");
    EXPECT_TRUE(dialog.okButton()->isDefault());
    EXPECT_EQ(dialog.applyButton()->text(), "Apply");
    EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
    EXPECT_FALSE(dialog.applyButton()->isEnabled());
    std::set<std::string> groups;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        groups.insert(group->title().toStdString());
    }
    EXPECT_EQ(groups, (std::set<std::string>{"Program Integration", "Integration With Browsers",
                                             "Integration With Chat Programs",
                                             "Integration With This Desktop",
                                             "Integration With Internet Explorer", "Backup"}));
    EXPECT_EQ(dialog.palette().color(QPalette::Window), dialog.palette().color(QPalette::Button));
}

TEST_F(ProgramIntegrationDlgTest, DetectionChecksFoundProgramsAndDisablesMissingOnes)
{
    {
        ProgramIntegrationDlg dialog;
        // Only Internet Explorer is always there.
        EXPECT_EQ(checks(dialog), (std::vector<bool>{1, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(enabled(dialog), (std::vector<bool>{1, 0, 0, 0, 0, 0, 0, 0}));
    }
    installEverything();
    ProgramIntegrationDlg dialog;
    EXPECT_EQ(checks(dialog), std::vector<bool>(8, true));
    EXPECT_EQ(enabled(dialog), std::vector<bool>(8, true));
}

TEST_F(ProgramIntegrationDlgTest, MessengersNeedTheirProgramFileOrUninstallEntry)
{
    // MSN Messenger's key without its program file is not an installation.
    settings::Key::create(HKEY_CURRENT_USER, "Software\\Microsoft\\MSNMessenger");
    // Yahoo's key without an uninstall key leaves its box as it was.
    settings::Key::create(HKEY_CURRENT_USER, "Software\\Yahoo\\Pager");
    {
        ProgramIntegrationDlg dialog;
        EXPECT_FALSE(dialog.programBox(ProgramIntegrationDlg::MsnMessengerId)->isEnabled());
        const QCheckBox* yahoo = dialog.programBox(ProgramIntegrationDlg::YahooMessengerId);
        EXPECT_FALSE(yahoo->isChecked());
        EXPECT_TRUE(yahoo->isEnabled());
    }
    installMsnFile();
    // An uninstall key without its string: not installed.
    settings::Key::create(HKEY_CURRENT_USER, (std::string(Uninstall) + "Yahoo! Messenger").c_str());
    ProgramIntegrationDlg dialog;
    EXPECT_TRUE(dialog.programBox(ProgramIntegrationDlg::MsnMessengerId)->isChecked());
    EXPECT_FALSE(dialog.programBox(ProgramIntegrationDlg::YahooMessengerId)->isEnabled());
}

TEST_F(ProgramIntegrationDlgTest, MissingNetscapeShowsItsStoredChoiceInADisabledBox)
{
    mainKey().writeDword("IntegrateWithNetscape", 1);
    mainKey().writeDword("IntegrateWithIE", 0);
    ProgramIntegrationDlg dialog;
    const QCheckBox* netscape = dialog.programBox(ProgramIntegrationDlg::NetscapeId);
    EXPECT_TRUE(netscape->isChecked());
    EXPECT_FALSE(netscape->isEnabled());
    // A stored 0 overrides detection too.
    EXPECT_FALSE(dialog.programBox(ProgramIntegrationDlg::InternetExplorerId)->isChecked());
}

TEST_F(ProgramIntegrationDlgTest, ApplyConfiguresEveryChangedProgramInOrderAndStores)
{
    installEverything();
    ProgramIntegrationDlg dialog;
    dialog.programBox(ProgramIntegrationDlg::OperaId)->click(); // found, but not wanted
    EXPECT_TRUE(dialog.applyButton()->isEnabled());
    dialog.applyButton()->click();
    EXPECT_EQ(
        uitest::countedCalls(),
        (Calls{"SetIEProxySettings 1 127.0.0.1 3128", "SetNetscapeProxySettings 127.0.0.1 3128 1",
               "SetMSNProxySettings 1 4 127.0.0.1 3128",
               "SetYahooMessangerProxySettings 1 127.0.0.1 3128 0 127.0.0.1 80 4",
               "SetMircProxySettings 1 127.0.0.1 3128 proxy",
               "SetWS_FTPProxySettings 1 127.0.0.1 3128 4",
               "SetCute_FTPProxySettings 127.0.0.1 3128 1"}));
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
    EXPECT_EQ(stored("IntegrateWithOpera"), 0u);
    EXPECT_EQ(stored("IntegrateWithCute_FTP"), 1u);
    EXPECT_EQ(stored("ShowIEToolbar"), 0u);
    EXPECT_FALSE(dialog.applyButton()->isEnabled());
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ProgramIntegrationDlgTest, SecondApplyMakesNoCallsButRunsTheToolbarStepAgain)
{
    installEverything();
    ProgramIntegrationDlg dialog;
    dialog.toolbarBox()->click();
    dialog.applyButton()->click();
    EXPECT_EQ(uitest::countedCalls().size(), 8u);
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
    // Someone takes the toolbar entries away; the next Apply puts them back.
    SHDeleteKey(HKEY_LOCAL_MACHINE, ExtensionKey);
    uitest::clearCountedCalls();
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), Calls{});
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
}

TEST_F(ProgramIntegrationDlgTest, CuteFtpIsCalledAlikeCheckedOrUnchecked)
{
    installEverything();
    storeAll(1);
    ProgramIntegrationDlg dialog;
    QCheckBox* cute = dialog.programBox(ProgramIntegrationDlg::CuteFtpId);
    cute->setChecked(false);
    dialog.apply();
    cute->setChecked(true);
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), (Calls{"SetCute_FTPProxySettings 127.0.0.1 3128 1",
                                             "SetCute_FTPProxySettings 127.0.0.1 3128 1"}));
    EXPECT_EQ(stored("IntegrateWithCute_FTP"), 1u);
}

TEST_F(ProgramIntegrationDlgTest, ProgramThatCannotBeConfiguredIsClearedAndStoredAsZero)
{
    installEverything();
    storeAll(0);
    uitest::setMethodResult("SetOperaProxySettings", S_FALSE);
    ProgramIntegrationDlg dialog;
    QCheckBox* opera = dialog.programBox(ProgramIntegrationDlg::OperaId);
    opera->setChecked(true);
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetOperaProxySettings 1 127.0.0.1 3128"});
    EXPECT_FALSE(opera->isChecked());
    EXPECT_EQ(stored("IntegrateWithOpera"), 0u);
    uitest::clearCountedCalls();
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), Calls{});
    EXPECT_TRUE(m_boxes->calls().empty()); // the component reports its own reasons
}

TEST_F(ProgramIntegrationDlgTest, FailingMethodIsReportedAndTheOthersStillRun)
{
    installEverything();
    storeAll(0);
    uitest::setMethodResult("SetIEProxySettings", static_cast<HRESULT>(0x80004005));
    ProgramIntegrationDlg dialog;
    dialog.programBox(ProgramIntegrationDlg::InternetExplorerId)->setChecked(true);
    dialog.programBox(ProgramIntegrationDlg::OperaId)->setChecked(true);
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), (Calls{"SetIEProxySettings 1 127.0.0.1 3128",
                                             "SetOperaProxySettings 1 127.0.0.1 3128"}));
    EXPECT_EQ(stored("IntegrateWithIE"), 0u);
    EXPECT_EQ(stored("IntegrateWithOpera"), 1u);
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text,
              "Umbravia could not configure Internet Explorer (error 0x80004005).");
    EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
}

TEST_F(ProgramIntegrationDlgTest, HiddenProgramBoxesFollowDetectionStoredChoicesAndApply)
{
    uninstallEntry(HKEY_LOCAL_MACHINE, "Mirc");
    uninstallEntry(HKEY_LOCAL_MACHINE, "WS_FTP Pro");
    mainKey().writeDword("IntegrateWithIE", 1);
    mainKey().writeDword("IntegrateWithWS_FTP", 1);
    ProgramIntegrationDlg dialog;
    // mIRC was found and never stored: checked, so the next Apply configures it.
    EXPECT_TRUE(dialog.programBox(ProgramIntegrationDlg::MircId)->isChecked());
    dialog.programBox(ProgramIntegrationDlg::WsFtpId)->setChecked(false);
    dialog.apply();
    EXPECT_EQ(uitest::countedCalls(), (Calls{"SetMircProxySettings 1 127.0.0.1 3128 proxy",
                                             "SetWS_FTPProxySettings 0 127.0.0.1 3128 4"}));
    EXPECT_EQ(stored("IntegrateWithMIRC"), 1u);
    EXPECT_EQ(stored("IntegrateWithWS_FTP"), 0u);
    EXPECT_EQ(stored("IntegrateWithCute_FTP"), 0u);
}

TEST_F(ProgramIntegrationDlgTest, CancelAfterApplyKeepsWhatApplyDid)
{
    storeAll(0);
    ProgramIntegrationDlg dialog;
    dialog.programBox(ProgramIntegrationDlg::InternetExplorerId)->click();
    dialog.apply();
    dialog.programBox(ProgramIntegrationDlg::InternetExplorerId)->click();
    dialog.cancelButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetIEProxySettings 1 127.0.0.1 3128"});
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
}

TEST_F(ProgramIntegrationDlgTest, OkAppliesStoresAndCloses)
{
    ProgramIntegrationDlg dialog;
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetIEProxySettings 1 127.0.0.1 3128"});
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
    EXPECT_EQ(stored("IntegrateWithNetscape"), 0u);
}

TEST_F(ProgramIntegrationDlgTest, ToolbarStepRegistersTheToolbarAndTakesItAway)
{
    const std::string plugin = "C:\\Program Files\\Umbravia\\UmbraIEPlugin.dll";
    // A decoy regsvr32 in the prefix's system folder records how it was started.
    const auto system = m_prefix.driveC() / "WINDOWS" / "system32";
    std::filesystem::create_directories(system);
    const auto log = m_prefix.path() / "regsvr32.log";
    testsupport::writeFile(system / "regsvr32.exe", "#!/bin/sh\nprintf '%s|' \"$@\" >> '" +
                                                        log.string() +
                                                        "'\n"
                                                        "echo \"$(pwd)\" >> '" +
                                                        log.string() + "'\n");
    std::filesystem::permissions(system / "regsvr32.exe", std::filesystem::perms::owner_all);

    ProgramIntegrationDlg dialog;
    dialog.toolbarBox()->click();
    dialog.apply();
    const settings::Key extension = settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey);
    ASSERT_TRUE(extension);
    EXPECT_EQ(extension.readString(nullptr), "Umbravia Toolbar");
    EXPECT_EQ(extension.readString("BandClsid"), BandClsid);
    EXPECT_EQ(extension.readString("ButtonText"), "Umbravia");
    EXPECT_EQ(extension.readString("Clsid"), "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}");
    EXPECT_EQ(extension.readString("Default Visible"), "Yes");
    EXPECT_EQ(extension.readString("HotIcon"), plugin + ",214");
    EXPECT_EQ(extension.readString("Icon"), plugin + ",213");
    EXPECT_EQ(extension.readString("MenuStatusBar"), "Umbravia");
    EXPECT_EQ(extension.readString("MenuText"), "Umbravia");
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, ToolbarKey, BandClsid), 0u);
    EXPECT_EQ(stored("ShowIEToolbar"), 1u);
    const std::string system32 = std::filesystem::canonical(system).string();
    ASSERT_TRUE(testsupport::waitFor([&] { return std::filesystem::exists(log); }));
    EXPECT_TRUE(testsupport::waitFor([&] {
        return testsupport::readFile(log) == "/s|" + plugin + "|" + system32 + "\n";
    })) << testsupport::readFile(log);

    dialog.toolbarBox()->click();
    dialog.apply();
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
    EXPECT_FALSE(settings::readDword(HKEY_LOCAL_MACHINE, ToolbarKey, BandClsid));
    EXPECT_EQ(stored("ShowIEToolbar"), 0u);
    EXPECT_TRUE(testsupport::waitFor([&] {
        return testsupport::readFile(log).find("/u|/s|" + plugin + "|") != std::string::npos;
    })) << testsupport::readFile(log);
}

TEST_F(ProgramIntegrationDlgTest, BackupAndRestorePassTheCurrentBoxesAndReleaseTheButtons)
{
    installEverything();
    ProgramIntegrationDlg dialog;
    dialog.programBox(ProgramIntegrationDlg::NetscapeId)->setChecked(false);
    dialog.programBox(ProgramIntegrationDlg::CuteFtpId)->setChecked(false);
    dialog.backupButton()->click();
    EXPECT_FALSE(dialog.backupButton()->isChecked());
    dialog.restoreButton()->click();
    EXPECT_FALSE(dialog.restoreButton()->isChecked());
    EXPECT_EQ(uitest::countedCalls(), (Calls{"BackupConfiguration 1 0 1 1 1 1 1 0",
                                             "RestoreConfiguration 1 0 1 1 1 1 1 0"}));
    // Nothing is stored by either.
    EXPECT_FALSE(stored("IntegrateWithIE"));
}

TEST_F(ProgramIntegrationDlgTest, WithoutTheComponentApplySaysSoAndOkStillStores)
{
    uitest::unregisterConfigurationClass();
    ProgramIntegrationDlg dialog;
    dialog.toolbarBox()->click();
    dialog.applyButton()->click();
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    const platform::MessageBoxCall box = m_boxes->calls()[0];
    EXPECT_EQ(box.text, "Unable To Load Rigwright Module");
    EXPECT_EQ(box.caption, "Umbravia");
    EXPECT_EQ(box.icon(), MB_ICONERROR);
    EXPECT_EQ(box.owner, dialog.hwnd());
    EXPECT_FALSE(stored("IntegrateWithIE"));
    // The toolbar step runs all the same.
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
    EXPECT_FALSE(dialog.applyButton()->isEnabled());

    // Backup and Restore stay silent.
    dialog.backupButton()->click();
    dialog.restoreButton()->click();
    EXPECT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_FALSE(dialog.backupButton()->isChecked());

    dialog.okButton()->click();
    EXPECT_EQ(m_boxes->calls().size(), 2u);
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
    EXPECT_EQ(stored("ShowIEToolbar"), 1u);
    EXPECT_EQ(uitest::countedCalls(), Calls{});
}

// --- the desktop the suite runs on ---------------------------------------------------------

TEST_F(ProgramIntegrationDlgTest, DesktopGroupHoldsOneBoxPerTargetAndNoControlOverlapsAnother)
{
    ProgramIntegrationDlg dialog;
    const std::vector<std::pair<desktop::Target, UINT>> targets = {
        {desktop::Target::Gnome, ProgramIntegrationDlg::DesktopGnomeId},
        {desktop::Target::Kde, ProgramIntegrationDlg::DesktopKdeId},
        {desktop::Target::Firefox, ProgramIntegrationDlg::DesktopFirefoxId},
        {desktop::Target::Environment, ProgramIntegrationDlg::DesktopEnvironmentId}};
    const QGroupBox* group = nullptr;
    for (const QGroupBox* candidate : dialog.findChildren<QGroupBox*>()) {
        if (candidate->title() == "Integration With This Desktop") {
            group = candidate;
        }
    }
    ASSERT_NE(group, nullptr);
    for (const auto& [target, id] : targets) {
        const QCheckBox* box = dialog.desktopBox(target);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text().toStdString(), desktop::targetName(target));
        EXPECT_EQ(box->objectName(), QString::number(id));
        EXPECT_TRUE(group->geometry().contains(box->geometry())) << box->text().toStdString();
    }
    // Readable: every control lies inside the dialog, every text fits its control, and no
    // two shown controls share a pixel.
    std::vector<const QWidget*> controls;
    for (const QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&dialog) && (qobject_cast<const QCheckBox*>(widget) != nullptr ||
                                             qobject_cast<const QPushButton*>(widget) != nullptr)) {
            controls.push_back(widget);
        }
    }
    // Five programs, four targets, the toolbar, two backup buttons, OK, Apply, Cancel.
    ASSERT_EQ(controls.size(), 15u);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const QWidget& a = *controls[i];
        EXPECT_TRUE(dialog.rect().contains(a.geometry())) << a.objectName().toStdString();
        EXPECT_LE(a.sizeHint().width(), a.width()) << a.objectName().toStdString();
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(a.geometry().intersects(controls[j]->geometry()))
                << a.objectName().toStdString() << " and "
                << controls[j]->objectName().toStdString();
        }
    }
}

// The decoy home of the test's prefix, with every target of the desktop installed as its
// detection looks for it (GSettings keeps its keyfile there).
class DesktopGroupTest : public ProgramIntegrationDlgTest {
protected:
    void SetUp() override
    {
        ProgramIntegrationDlgTest::SetUp();
        const std::filesystem::path home = m_prefix.home();
        testsupport::writeFile(m_prefix.configHome() / "kioslaverc",
                               "[Proxy Settings]\nProxyType=0\n");
        testsupport::writeFile(home / ".mozilla" / "firefox" / "profiles.ini",
                               "[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\n");
        std::filesystem::create_directories(home / ".mozilla" / "firefox" / "abc.default");
        std::filesystem::create_directories(m_prefix.configHome() / "environment.d");
        for (desktop::Target target : desktop::AllTargets) {
            if (!desktop::detected(target)) {
                GTEST_SKIP() << "gap: the desktop component does not find "
                             << desktop::targetName(target) << " in this build";
            }
        }
    }
    // The environment.d files that point at the proxy on 3128.
    std::size_t environmentFilesOnTheProxy() const
    {
        std::size_t count = 0;
        for (const auto& file :
             std::filesystem::directory_iterator(m_prefix.configHome() / "environment.d")) {
            if (testsupport::readFile(file.path()).find("127.0.0.1:3128") != std::string::npos) {
                ++count;
            }
        }
        return count;
    }
    static std::vector<bool> desktopStates(const ProgramIntegrationDlg& dialog, bool enabled)
    {
        std::vector<bool> states;
        for (desktop::Target target : desktop::AllTargets) {
            const QCheckBox* box = dialog.desktopBox(target);
            states.push_back(enabled ? box->isEnabled() : box->isChecked());
        }
        return states;
    }
};

TEST_F(DesktopGroupTest, FoundTargetsShowTheirStoredChoiceAndMissingOnesAreDisabled)
{
    mainKey().writeDword("IntegrateWithKDE", 0);
    mainKey().writeDword("IntegrateWithFirefox", 7); // anything but 1 is off
    {
        ProgramIntegrationDlg dialog;
        EXPECT_EQ(desktopStates(dialog, true), std::vector<bool>(4, true));
        // GNOME and the environment have no stored choice: on, as they are found.
        EXPECT_EQ(desktopStates(dialog, false), (std::vector<bool>{1, 0, 0, 1}));
    }
    // Firefox gone: its box is cleared and disabled whatever is stored.
    std::filesystem::remove_all(m_prefix.home() / ".mozilla");
    mainKey().writeDword("IntegrateWithFirefox", 1);
    ProgramIntegrationDlg dialog;
    EXPECT_FALSE(dialog.desktopBox(desktop::Target::Firefox)->isEnabled());
    EXPECT_FALSE(dialog.desktopBox(desktop::Target::Firefox)->isChecked());

    // Apply leaves the missing target's choice as it was stored.
    dialog.apply();
    EXPECT_EQ(stored("IntegrateWithFirefox"), 1u);
    EXPECT_EQ(stored("IntegrateWithKDE"), 0u);
    EXPECT_EQ(stored("IntegrateWithDesktop"), 1u);
}

TEST_F(DesktopGroupTest, ApplySwitchesAChangedTargetWhileTheProxyRunsAndOnlyStoresWhileItDoesNot)
{
    mainKey().writeDword("ACTIVE", 1);
    mainKey().writeDword("IntegrateWithEnvironment", 0);
    ProgramIntegrationDlg dialog;
    QCheckBox* environment = dialog.desktopBox(desktop::Target::Environment);
    ASSERT_FALSE(environment->isChecked());
    environment->click();
    EXPECT_TRUE(dialog.applyButton()->isEnabled());
    dialog.applyButton()->click();
    EXPECT_EQ(stored("IntegrateWithEnvironment"), 1u);
    EXPECT_EQ(environmentFilesOnTheProxy(), 1u);
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();

    environment->click();
    dialog.applyButton()->click();
    EXPECT_EQ(stored("IntegrateWithEnvironment"), 0u);
    EXPECT_EQ(environmentFilesOnTheProxy(), 0u);

    // With the proxy stopped a choice is stored and waits for the next start.
    mainKey().writeDword("ACTIVE", 0);
    environment->click();
    dialog.okButton()->click();
    EXPECT_EQ(stored("IntegrateWithEnvironment"), 1u);
    EXPECT_EQ(environmentFilesOnTheProxy(), 0u);
}

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
