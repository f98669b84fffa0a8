// The programs page's data and its Next against the counting stand-in of the
// configuration component: detection, the stored choices, the backup question, the calls
// with their exact arguments, the values written, the toolbar step against a decoy
// regsvr32, the Run key, and a main key that cannot be opened.

#include "core/Programs.h"

#include "core/Startup.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>

#include <CountingRigwright.h>
#include <DetectedPrograms.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
using wizard::Program;

constexpr const char* Uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* ExtensionKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\"
                                     "{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* BandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* MainProgram = "C:\\Program Files\\Umbravia\\Umbravia.exe";

const char* const IntegrationValues[] = {
    "IntegrateWithIE",           "IntegrateWithNetscape",       "IntegrateWithOpera",
    "IntegrateWithMSNMessenger", "IntegrateWithYahooMessenger", "IntegrateWithMIRC",
    "IntegrateWithWS_FTP",       "IntegrateWithCute_FTP"};

class ProgramsTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(uitest::registerCountingRigwright());
        mainKey().writeDword("PROXYPORT", 3128);
        mainKey().writeStringNoZero(nullptr, MainProgram);
        m_context.folder = "C:\\Program Files\\Umbravia\\";
        m_context.mainProgramPath = MainProgram;
        // The toolbar step's regsvr32 is a decoy in the prefix's system folder.
        const auto system = m_prefix.driveC() / "WINDOWS" / "system32";
        m_regsvr32Log = m_prefix.path() / "regsvr32.log";
        testsupport::writeFile(system / "regsvr32.exe",
                               "#!/bin/sh\necho \"$*\" >> '" + m_regsvr32Log.string() + "'\n");
        std::filesystem::permissions(system / "regsvr32.exe", std::filesystem::perms::owner_all);
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
    void installEverything() const { testsupport::installEveryDetectedProgram(m_prefix.driveC()); }
    std::string regsvr32Log() const
    {
        return std::filesystem::exists(m_regsvr32Log) ? testsupport::readFile(m_regsvr32Log)
                                                      : std::string();
    }
    wizard::ProgramsPageState applyAnswering(int backupAnswer,
                                             const wizard::ProgramsPageState& state)
    {
        m_boxes->queueAnswer(backupAnswer);
        return wizard::applyProgramsPage(0, state, m_context);
    }

    wizard::StartContext m_context;
    std::filesystem::path m_regsvr32Log;
    platform::ScopedScriptedPresenter m_boxes;
};

TEST_F(ProgramsTest, OpeningDetectsTheProgramsAndThenShowsTheStoredChoices)
{
    wizard::ProgramsPageState nothing = wizard::loadProgramsPage();
    // Only Internet Explorer counts as installed on a bare machine; the general boxes on.
    EXPECT_EQ(nothing.installed, (std::array<bool, 8>{true}));
    EXPECT_EQ(nothing.checked, (std::array<bool, 8>{true}));
    EXPECT_TRUE(nothing.runAtStartup);
    EXPECT_TRUE(nothing.enableAlerts);
    EXPECT_TRUE(nothing.showToolbar);

    installEverything();
    const wizard::ProgramsPageState all = wizard::loadProgramsPage();
    EXPECT_EQ(all.installed, (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
    EXPECT_EQ(all.checked, all.installed);

    // Stored choices win over detection, also for a program that is not installed.
    SHDeleteKey(HKEY_LOCAL_MACHINE, (std::string(Uninstall) + "Opera").c_str());
    mainKey().writeDword("IntegrateWithNetscape", 0);
    mainKey().writeDword("IntegrateWithOpera", 1);
    mainKey().writeDword("EnableAlerts", 0);
    mainKey().writeDword("ShowIEToolbar", 0);
    const wizard::ProgramsPageState stored = wizard::loadProgramsPage();
    EXPECT_FALSE(stored.isInstalled(Program::Opera));
    EXPECT_TRUE(stored.isChecked(Program::Opera));
    EXPECT_FALSE(stored.isChecked(Program::Netscape));
    EXPECT_FALSE(stored.enableAlerts);
    EXPECT_FALSE(stored.showToolbar);
    EXPECT_TRUE(stored.runAtStartup);
}

TEST_F(ProgramsTest, YahooNeedsItsUninstallEntryAsWell)
{
    settings::Key::create(HKEY_CURRENT_USER, "Software\\Yahoo\\Pager");
    EXPECT_FALSE(wizard::loadProgramsPage().isInstalled(Program::YahooMessenger));
    uninstallEntry(HKEY_CURRENT_USER, "Yahoo! Messenger");
    EXPECT_TRUE(wizard::loadProgramsPage().isInstalled(Program::YahooMessenger));
}

TEST_F(ProgramsTest, NextConfiguresTheInstalledShownProgramsWithTheirExactArguments)
{
    installEverything();
    wizard::ProgramsPageState state = wizard::loadProgramsPage();
    state.checked[wizard::index(Program::Opera)] = false;
    applyAnswering(IDNO, state);
    // Only the question: no backup on No.
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    const platform::MessageBoxCall question = m_boxes->calls()[0];
    EXPECT_EQ(question.text, "Do you want Umbravia to backup your proxy configuration before "
                             "applying your new proxy configuration");
    EXPECT_EQ(question.caption, "Umbravia Settings Wizard");
    EXPECT_EQ(question.buttons(), MB_YESNO);
    EXPECT_EQ(question.icon(), MB_ICONQUESTION);
    EXPECT_EQ(
        uitest::countedCalls(),
        (Calls{"SetIEProxySettings 1 127.0.0.1 3128", "SetNetscapeProxySettings 127.0.0.1 3128 1",
               "SetOperaProxySettings 0 127.0.0.1 3128", "SetMSNProxySettings 1 4 127.0.0.1 3128",
               "SetYahooMessangerProxySettings 1 127.0.0.1 3128 0 127.0.0.1 80 4"}));
    for (const char* value : IntegrationValues) {
        const DWORD expected = std::string(value) == "IntegrateWithOpera" ? 0 : 1;
        EXPECT_EQ(stored(value), expected) << value;
    }
    EXPECT_EQ(stored("EnableAlerts"), 1u);
    EXPECT_EQ(stored("ShowIEToolbar"), 1u);
}

TEST_F(ProgramsTest, OnABareMachineOnlyInternetExplorerIsCalledOnThePortOrItsDefault)
{
    SHDeleteValue(HKEY_LOCAL_MACHINE, settings::MainKey, "PROXYPORT");
    applyAnswering(IDNO, wizard::loadProgramsPage());
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetIEProxySettings 1 127.0.0.1 8080"});
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
    EXPECT_EQ(stored("IntegrateWithNetscape"), 0u);
}

TEST_F(ProgramsTest, WsFtpNotInstalledIsWrittenAsZeroWhileMircKeepsItsValue)
{
    uninstallEntry(HKEY_LOCAL_MACHINE, "Mirc");
    mainKey().writeDword("IntegrateWithMIRC", 1);
    mainKey().writeDword("IntegrateWithWS_FTP", 1);
    const wizard::ProgramsPageState state = wizard::loadProgramsPage();
    EXPECT_TRUE(state.isChecked(Program::WsFtp)); // shown as stored, but disabled
    applyAnswering(IDNO, state);
    EXPECT_EQ(stored("IntegrateWithWS_FTP"), 0u);
    EXPECT_EQ(stored("IntegrateWithMIRC"), 1u);
    // Neither hidden program is configured from the wizard.
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetIEProxySettings 1 127.0.0.1 3128"});
}

TEST_F(ProgramsTest, AProgramThatCouldNotBeConfiguredHasItsBoxCleared)
{
    installEverything();
    uitest::setMethodResult("SetNetscapeProxySettings", S_FALSE);
    uitest::setMethodResult("SetMSNProxySettings", E_FAIL);
    const wizard::ProgramsPageState after = applyAnswering(IDNO, wizard::loadProgramsPage());
    EXPECT_FALSE(after.isChecked(Program::Netscape));
    EXPECT_FALSE(after.isChecked(Program::MsnMessenger));
    EXPECT_TRUE(after.isChecked(Program::Opera));
    EXPECT_EQ(stored("IntegrateWithNetscape"), 0u);
    EXPECT_EQ(stored("IntegrateWithMSNMessenger"), 0u);
    EXPECT_EQ(stored("IntegrateWithOpera"), 1u);
}

TEST_F(ProgramsTest, BackupOnYesPassesTheShownBoxesAndNothingForTheHiddenOnes)
{
    installEverything();
    wizard::ProgramsPageState state = wizard::loadProgramsPage();
    state.checked[wizard::index(Program::Netscape)] = false;
    bool hidden = false;
    m_boxes->queueAnswer(IDYES);
    wizard::applyProgramsPage(0, state, m_context, [&] {
        // The page goes after the backup, before the integration.
        EXPECT_EQ(uitest::countedCalls(), Calls{"BackupConfiguration 1 0 1 1 1 0 0 0"});
        hidden = true;
    });
    EXPECT_TRUE(hidden);
    EXPECT_EQ(uitest::countedCalls().front(), "BackupConfiguration 1 0 1 1 1 0 0 0");
    // The backup, then the five shown programs (Netscape taken off).
    EXPECT_EQ(uitest::countedCalls().size(), 6u);
    EXPECT_EQ(uitest::countedCalls()[2], "SetNetscapeProxySettings 127.0.0.1 3128 0");
}

TEST_F(ProgramsTest, WithoutTheComponentItSaysSoAndStillWritesTheChoices)
{
    uitest::unregisterConfigurationClass();
    const wizard::ProgramsPageState after = applyAnswering(IDYES, wizard::loadProgramsPage());
    // The failed backup is silent; the integration is not.
    ASSERT_EQ(m_boxes->calls().size(), 2u);
    EXPECT_EQ(m_boxes->calls()[1].text, "Unable To Create COM Instance");
    EXPECT_EQ(m_boxes->calls()[1].caption, "Umbravia Settings Wizard");
    EXPECT_EQ(m_boxes->calls()[1].icon(), MB_ICONERROR);
    EXPECT_TRUE(after.isChecked(Program::InternetExplorer));
    EXPECT_EQ(stored("IntegrateWithIE"), 1u);
    EXPECT_TRUE(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia"));
}

TEST_F(ProgramsTest, AMainKeyThatCannotBeOpenedShowsItsMessageAndChangesNothing)
{
    SHDeleteKey(HKEY_LOCAL_MACHINE, settings::MainKey);
    applyAnswering(IDNO, wizard::loadProgramsPage());
    ASSERT_EQ(m_boxes->calls().size(), 2u);
    EXPECT_EQ(m_boxes->calls()[1].text, "Invalide Registry Data");
    EXPECT_EQ(m_boxes->calls()[1].icon(), MB_ICONERROR);
    EXPECT_EQ(uitest::countedCalls(), Calls{});
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey));
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
    EXPECT_FALSE(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia"));
}

TEST_F(ProgramsTest, TheToolbarStepRegistersTheToolbarBesideTheMainProgramAndTakesItAway)
{
    const std::string plugin = "C:\\Program Files\\Umbravia\\UmbraIEPlugin.dll";
    wizard::ProgramsPageState state = wizard::loadProgramsPage();
    applyAnswering(IDNO, state);
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
    EXPECT_TRUE(testsupport::waitFor([&] { return regsvr32Log() == "/s " + plugin + "\n"; }))
        << regsvr32Log();

    state.showToolbar = false;
    applyAnswering(IDNO, state);
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionKey));
    EXPECT_FALSE(settings::readDword(HKEY_LOCAL_MACHINE, ToolbarKey, BandClsid));
    EXPECT_EQ(stored("ShowIEToolbar"), 0u);
    EXPECT_TRUE(testsupport::waitFor([&] {
        return regsvr32Log().find("/u /s " + plugin + "\n") != std::string::npos;
    })) << regsvr32Log();
}

TEST_F(ProgramsTest, TheRunValueHoldsTheMainProgramWithoutItsZeroOrIsDeleted)
{
    wizard::ProgramsPageState state = wizard::loadProgramsPage();
    applyAnswering(IDNO, state);
    const settings::Key run = settings::Key::open(HKEY_CURRENT_USER, RunKey);
    DWORD type = 0;
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueEx(run.get(), "Umbravia", nullptr, &type, reinterpret_cast<BYTE*>(data),
                              &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(data, size), MainProgram);
    // The desktop session's autostart entry follows the value (in the test's decoy home).
    const auto entry = m_prefix.configHome() / "autostart" / "umbravia.desktop";
    ASSERT_TRUE(std::filesystem::exists(entry));
    std::ifstream in(entry);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("+Tray"), std::string::npos) << text;

    state.runAtStartup = false;
    applyAnswering(IDNO, state);
    EXPECT_FALSE(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia"));
    EXPECT_FALSE(std::filesystem::exists(entry));
}

} // namespace
