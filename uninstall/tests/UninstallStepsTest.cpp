// The uninstall helper's steps in this process, in a temporary prefix with the programs
// installed as the configurator tests install them: what each restore leaves behind, the
// registry tree, the install folder and its guards, and the "running" boxes.

#include "InstallFolder.h"
#include "MenuEntry.h"
#include "ProgramRestore.h"
#include "UninstallFixture.h"
#include "Uninstaller.h"

#include <common/BrowserKeys.h>
#include <common/Settings.h>
#include <platform/Files.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QApplication>
#include <QDialog>

#include <desktop/Autostart.h>
#include <desktop/DesktopIntegration.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace rigtest;
using uninstall::FolderRemoval;
using uninstall::InstallFolder;
using uninstall::ProgramRestore;
using uninstall::Uninstaller;
using Outcome = FolderRemoval::Outcome;

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMainKey = "Software\\Kestrani\\Hollowmere";
constexpr const char* kInstall = "C:\\Program Files\\Umbravia\\";

std::string dosOf(const fs::path& hostPath)
{
    return platform::toDosPath(hostPath).str();
}

class UninstallStepsTest : public UninstallTest {
protected:
    static void integrate(const char* value, DWORD on)
    {
        setDword(HKEY_LOCAL_MACHINE, kMainKey, value, on);
    }
    static bool keyExists(HKEY root, const char* path)
    {
        return settings::Key::open(root, path).valid();
    }
    void expectBoxes(const std::vector<std::pair<std::string, UINT>>& expected,
                     const char* caption = "Umbravia Rigwright")
    {
        auto calls = m_boxes->calls();
        ASSERT_EQ(calls.size(), expected.size());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].text, expected[i].first);
            EXPECT_EQ(calls[i].caption, caption);
            EXPECT_EQ(calls[i].icon(), expected[i].second);
            EXPECT_EQ(calls[i].buttons(), static_cast<UINT>(MB_OK));
        }
        m_boxes->clear();
    }
    // The install folder with the main program, another file and a plain folder.
    void installFolder(const std::string& folder)
    {
        setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, folder + "Umbravia.exe");
        writeDos(folder + "Umbravia.exe", "exe");
        writeDos(folder + "Filters.dll", "dll");
        writeDos(folder + "res\\logo.png", "png");
    }
};

// --- the program restores ---------------------------------------------------------------

TEST_F(UninstallStepsTest, WithoutAnIntegrationValueOfOneNoProgramChangesButEverythingElseGoes)
{
    integrateEverything();
    const std::string prefs = readDos(prefsJs());
    const std::string opera = readDos(kOperaIni);
    const auto connection = value(HKEY_USERS, kDefaultConnections, "DefaultConnectionSettings");
    integrate("IntegrateWithIE", 2);
    integrate("IntegrateWithNetscape", 0);
    integrate("IntegrateWithOpera", 0xFFFFFFFF);
    // A string "1" is not the DWORD 1.
    setString(HKEY_LOCAL_MACHINE, kMainKey, "IntegrateWithMSNMessenger", "1");
    installFolder(kInstall);
    setString(HKEY_CURRENT_USER, kRunKey, "Umbravia", "Umbravia.exe +Tray");
    setString(HKEY_CURRENT_USER, kRunKey, "Other", "other.exe");

    Uninstaller::run();

    EXPECT_EQ(readDos(prefsJs()), prefs);
    EXPECT_EQ(readDos(kOperaIni), opera);
    EXPECT_EQ(value(HKEY_USERS, kDefaultConnections, "DefaultConnectionSettings"), connection);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable")->data, dword(1));
    EXPECT_TRUE(value(HKEY_CURRENT_USER, kMsn, "HTTPProxy"));
    EXPECT_TRUE(value(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy"));
    // The tree, the start-up value and the install folder's files are gone all the same.
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Kestrani"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kRunKey, "Umbravia"));
    EXPECT_TRUE(value(HKEY_CURRENT_USER, kRunKey, "Other"));
    EXPECT_FALSE(existsDos(std::string(kInstall) + "Umbravia.exe"));
    EXPECT_FALSE(existsDos(std::string(kInstall) + "Filters.dll"));
    EXPECT_TRUE(existsDos(std::string(kInstall) + "res\\logo.png"));
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(UninstallStepsTest, EveryIntegratedProgramGoesOffTheProxy)
{
    integrateEverything();
    integrateAll();
    setValue(HKEY_CURRENT_USER, kMsn, "Other", REG_SZ, sz("kept"));
    setDword(HKEY_CURRENT_USER, kYahoo, "Socks Port", 1080);

    ProgramRestore::restoreIntegrated();

    EXPECT_FALSE(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kIESettings, "ProxyServer"));
    const Value direct{REG_BINARY, ProgramRestore::directConnectionRecord()};
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "Dial-up"), direct);
    EXPECT_EQ(value(HKEY_USERS, kDefaultConnections, "DefaultConnectionSettings"), direct);
    EXPECT_EQ(readDos(prefsJs()), "user_pref(\"browser.startup.page\", 1);\r\n"
                                  "user_pref(\"network.proxy.type\", 0);\n"
                                  "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                                  "user_pref(\"network.proxy.http_port\", 8080);\n");
    // The configurator's lines end in LF CR LF; the restored ones keep the CR LF only.
    EXPECT_EQ(readDos(kOperaIni), "[Proxy]\r\nUse HTTP=0\n\r\nHTTP Server=127.0.0.1:8080\n\r\n");
    for (const char* name : {"ProxyState", "ProxyType", "HTTPProxy", "HTTPPort"}) {
        EXPECT_FALSE(value(HKEY_CURRENT_USER, kMsn, name)) << name;
    }
    EXPECT_TRUE(value(HKEY_CURRENT_USER, kMsn, "Other"));
    for (const char* name : {"Proxy Enabled", "HTTP Proxy", "Proxy Port"}) {
        EXPECT_FALSE(value(HKEY_CURRENT_USER, kYahoo, name)) << name;
    }
    EXPECT_TRUE(value(HKEY_CURRENT_USER, kYahoo, "Socks Port"));
    EXPECT_FALSE(existsDos(appData() + "\\Mozilla\\Profiles\\default\\x1y2z3.slt\\prefs.bak"));
    EXPECT_FALSE(existsDos("C:\\Program Files\\Opera\\Opera6.bak"));
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(UninstallStepsTest, TheDirectConnectionRecordIs52BytesWithItsThreeFields)
{
    const std::string record = ProgramRestore::directConnectionRecord();
    std::string expected(52, '\0');
    expected.replace(0, 12, dword(0x3C) + dword(8) + dword(1));
    EXPECT_EQ(record, expected);
}

TEST_F(UninstallStepsTest, DefaultUserConnectionsAreRewrittenWhateverTheirNumberSizeAndType)
{
    for (const char* name : {"a", "b", "c", "d"}) {
        setValue(HKEY_CURRENT_USER, kIEConnections, name, REG_BINARY, std::string(70, 'p'));
    }
    // More data than a 260-byte buffer holds, and a value that is not binary at all.
    setValue(HKEY_USERS, kDefaultConnections, "Large", REG_BINARY, std::string(600, 'p'));
    setValue(HKEY_USERS, kDefaultConnections, "Text", REG_SZ, sz("proxy"));
    ProgramRestore::internetExplorer();
    const Value direct{REG_BINARY, ProgramRestore::directConnectionRecord()};
    for (const char* name : {"a", "b", "c", "d"}) {
        EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, name), direct) << name;
    }
    EXPECT_EQ(value(HKEY_USERS, kDefaultConnections, "Large"), direct);
    EXPECT_EQ(value(HKEY_USERS, kDefaultConnections, "Text"), direct);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(UninstallStepsTest, WithoutTheDefaultUserConnectionsTheUserIsToldAndTheRestGoesOn)
{
    setValue(HKEY_CURRENT_USER, kIEConnections, "a", REG_BINARY, "x");
    setDword(HKEY_CURRENT_USER, kIESettings, "ProxyEnable", 1);
    ProgramRestore::internetExplorer();
    expectBoxes({{"There is no connections available on this computer", MB_ICONINFORMATION}});
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "a")->data,
              ProgramRestore::directConnectionRecord());
}

TEST_F(UninstallStepsTest, NetscapePrefsWithProxyLinesAreEditedInPlace)
{
    installNetscape("user_pref(\"network.proxy.http\", \"10.0.0.1\");\r\n"
                    "user_pref(\"network.proxy.http_port\", 3128);\r\n"
                    "user_pref(\"network.proxy.type\", 1);\r\n"
                    "user_pref(\"network.proxy.ssl\", \"10.0.0.1\");\r\n");
    ProgramRestore::netscape();
    EXPECT_EQ(readDos(prefsJs()), "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
                                  "user_pref(\"network.proxy.http_port\", 8080);\r\n"
                                  "user_pref(\"network.proxy.type\", 0);\r\n"
                                  "user_pref(\"network.proxy.ssl\", \"10.0.0.1\");\r\n");
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(UninstallStepsTest, LinesEndedByABareLineFeedKeepTheLinesAfterThem)
{
    // A prefs.js written on Linux, and lines the configurator appended: an entry ends at
    // its line's end, not at the next carriage return somewhere further down.
    installNetscape("user_pref(\"network.proxy.type\", 1);\n"
                    "user_pref(\"browser.startup.homepage\", \"about:blank\");\n"
                    "user_pref(\"network.proxy.http\", \"10.0.0.1\");\n");
    ProgramRestore::netscape();
    EXPECT_EQ(readDos(prefsJs()), "user_pref(\"network.proxy.type\", 0);\n"
                                  "user_pref(\"browser.startup.homepage\", \"about:blank\");\n"
                                  "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                                  "user_pref(\"network.proxy.http_port\", 8080);\n");
}

TEST_F(UninstallStepsTest, NetscapeAndOperaFailuresAreReportedAndLeaveTheFilesAlone)
{
    // Not installed.
    ProgramRestore::netscape();
    ProgramRestore::opera();
    expectBoxes(
        {{"Failed To Locate Netscape, Please Check That Netscape Is Installed Correctly",
          MB_ICONERROR},
         {"Failed To Locate Opera, Please Check That Opera Is Installed Correctly", MB_ICONERROR}});
    // Installed, but the files are missing.
    install("Netscape (7.0)", "C:\\Program Files\\Netscape\\uninstall.exe");
    writeDos(appData() + "\\Mozilla\\Profiles\\default\\x1y2z3.slt\\other.js", "");
    install("Opera", "C:\\Program Files\\Opera\\uninst\\Opera.exe");
    ProgramRestore::netscape();
    ProgramRestore::opera();
    expectBoxes(
        {{"The file " + prefsJs() +
              " could not be used: the file does not exist.\n You may be using another version "
              "of Netscape, please refer to Umbravia help under (Manual Configuration For "
              "Netscape)",
          MB_ICONERROR},
         {"The file C:\\Program Files\\Opera\\Opera6.ini could not be used: its folder does not "
          "exist.\n You may be using another version of opera, please refer to Umbravia help "
          "under (Manual Configuration For Opera)",
          MB_ICONERROR}});
}

TEST_F(UninstallStepsTest, TheRewriteReplacesTheFileInOneStepOrNotAtAll)
{
    const std::string ini = "[Proxy]\r\nUse HTTP=1\r\nHTTP Server=127.0.0.1:8080\r\n";
    installOpera(ini);
    // A stale temporary file from an earlier run is simply replaced.
    writeDos("C:\\Program Files\\Opera\\Opera6.bak", "stale");
    ProgramRestore::opera();
    EXPECT_EQ(readDos(kOperaIni), "[Proxy]\r\nUse HTTP=0\r\nHTTP Server=127.0.0.1:8080\r\n");
    EXPECT_FALSE(existsDos("C:\\Program Files\\Opera\\Opera6.bak"));
    EXPECT_TRUE(m_boxes->calls().empty());

    // When the temporary file cannot be made, the target stays whole and the user is told.
    installOpera(ini);
    fs::create_directories(host("C:\\Program Files\\Opera\\Opera6.bak"));
    ProgramRestore::opera();
    EXPECT_EQ(readDos(kOperaIni), ini);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].text.find("Opera6.bak"), std::string::npos) << calls[0].text;
    EXPECT_EQ(calls[0].icon(), MB_ICONERROR);
}

TEST_F(UninstallStepsTest, OperaOnWindows9xIsFoundThroughItsCapitalMarker)
{
    platform::setVersionPlatformForTests(true);
    install("Opera", "C:\\OPERA\\uninst.exe");
    writeDos("C:\\OPERA\\Opera6.ini", "Use HTTP=1\r\n");
    ProgramRestore::opera();
    EXPECT_EQ(readDos("C:\\OPERA\\Opera6.ini"), "Use HTTP=0\r\n");
}

// --- the registry ---------------------------------------------------------------------

TEST_F(UninstallStepsTest, TheMakerKeyAndTheBrowserRegistrationsGoAndNothingBeside)
{
    setDword(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere\\DLLs\\Chain.dll", "X", 1);
    setDword(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Other\\Deep", "X", 1);
    setDword(HKEY_LOCAL_MACHINE, "Software\\KestraniOther", "X", 1);
    createKey(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);
    const std::string otherHelper =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\{other}";
    createKey(HKEY_LOCAL_MACHINE, otherHelper.c_str());
    setString(HKEY_LOCAL_MACHINE, browserkeys::ExtensionKey, "ButtonText", "Umbravia");
    setDword(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, browserkeys::ToolbarBandClsid, 0);
    setDword(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, "{other}", 0);

    Uninstaller::deleteRegistrations();

    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Kestrani"));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\KestraniOther"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, otherHelper.c_str()));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, browserkeys::ExtensionKey));
    EXPECT_FALSE(value(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, browserkeys::ToolbarBandClsid));
    EXPECT_TRUE(value(HKEY_LOCAL_MACHINE, browserkeys::ToolbarKey, "{other}"));
    // Again, with nothing left: every step is skipped quietly.
    Uninstaller::deleteRegistrations();
    EXPECT_TRUE(m_boxes->calls().empty());
}

// --- the desktop the suite runs on -------------------------------------------------------

TEST_F(UninstallStepsTest, TheDesktopComesOffAndTheAutostartAndMenuEntriesGo)
{
    const fs::path environment = m_prefix.configHome() / "environment.d";
    fs::create_directories(environment);
    testsupport::writeFile(environment / "10-mine.conf", "EDITOR=vi\n");
    desktop::Choices choices;
    choices[desktop::Target::Environment] = true;
    const std::vector<desktop::Report> set = desktop::DesktopIntegration::switchOn(8080, choices);
    if (set.empty() || !set.front().result.ok()) {
        GTEST_SKIP() << "gap: the desktop component does not switch the login environment yet";
    }
    ASSERT_TRUE(desktop::DesktopIntegration::journalPending());
    setString(HKEY_CURRENT_USER, kRunKey, "Umbravia", std::string(kInstall) + "Umbravia.exe");
    ASSERT_TRUE(desktop::mirrorAutostart());
    ASSERT_TRUE(fs::exists(desktop::autostartEntryPath()));
    // The menu entry and icons as scripts/install-desktop.sh leaves them, beside others.
    const fs::path data = m_prefix.dataHome();
    testsupport::writeFile(data / "applications" / "umbravia.desktop",
                           "[Desktop Entry]\nType=Application\nName=Umbravia\n"
                           "Exec=\"/opt/umbravia/Umbravia.exe\"\nIcon=umbravia\n");
    testsupport::writeFile(data / "applications" / "other.desktop", "[Desktop Entry]\n");
    const fs::path icons = data / "icons" / "hicolor";
    testsupport::writeFile(icons / "48x48" / "apps" / "umbravia.png", "png");
    testsupport::writeFile(icons / "256x256" / "apps" / "umbravia.png", "png");
    testsupport::writeFile(icons / "48x48" / "apps" / "other.png", "png");

    Uninstaller::run();

    std::vector<std::string> left;
    for (const auto& file : fs::directory_iterator(environment)) {
        left.push_back(file.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"10-mine.conf"});
    EXPECT_EQ(testsupport::readFile(environment / "10-mine.conf"), "EDITOR=vi\n");
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
    EXPECT_FALSE(fs::exists(desktop::autostartEntryPath()));
    EXPECT_FALSE(fs::exists(data / "applications" / "umbravia.desktop"));
    EXPECT_FALSE(fs::exists(icons / "48x48" / "apps" / "umbravia.png"));
    EXPECT_FALSE(fs::exists(icons / "256x256" / "apps" / "umbravia.png"));
    EXPECT_TRUE(fs::exists(data / "applications" / "other.desktop"));
    EXPECT_TRUE(fs::exists(icons / "48x48" / "apps" / "other.png"));
    EXPECT_TRUE(m_boxes->calls().empty()) << m_boxes->texts().front();
}

TEST_F(UninstallStepsTest, AMenuEntryOfThatNameWrittenByAnotherProgramStays)
{
    const fs::path entry = m_prefix.dataHome() / "applications" / "umbravia.desktop";
    EXPECT_EQ(uninstall::MenuEntry::entryPath(), entry);
    testsupport::writeFile(entry, "[Desktop Entry]\nName=Umbravia notes\nExec=notes\n");
    EXPECT_TRUE(uninstall::MenuEntry::remove());
    EXPECT_TRUE(fs::exists(entry));

    // Without a data folder or a home there is nothing to remove.
    const std::string data = std::getenv("XDG_DATA_HOME");
    const std::string home = std::getenv("HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(uninstall::MenuEntry::dataHome(), fs::path());
    EXPECT_TRUE(uninstall::MenuEntry::remove());
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(uninstall::MenuEntry::dataHome(), m_prefix.dataHome());
}

// --- the install folder -----------------------------------------------------------------

TEST_F(UninstallStepsTest, TheInstallFolderComesFromTheMainProgramPath)
{
    EXPECT_EQ(InstallFolder::fromMainKey(), std::nullopt);
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, "C:\\Program Files\\Umbravia\\Umbravia.exe");
    EXPECT_EQ(InstallFolder::fromMainKey(), "C:\\Program Files\\Umbravia\\");
    // The name is matched with its case, as the host writes it.
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, "C:\\Program Files\\Umbravia\\umbravia.exe");
    EXPECT_EQ(InstallFolder::fromMainKey(), std::nullopt);
    // Longer than the 260-byte buffer: not read.
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr,
              "C:\\" + std::string(300, 'x') + "\\Umbravia.exe");
    EXPECT_EQ(InstallFolder::fromMainKey(), std::nullopt);
}

TEST_F(UninstallStepsTest, APathWithoutTheProgramNameLeavesTheFolderAlone)
{
    installFolder(kInstall);
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, "C:\\Program Files\\Umbravia\\Other.exe");
    Uninstaller::run();
    EXPECT_TRUE(existsDos(std::string(kInstall) + "Umbravia.exe"));
    EXPECT_TRUE(existsDos(std::string(kInstall) + "Filters.dll"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Kestrani"));
}

TEST_F(UninstallStepsTest, OnlyTheFolderOwnFilesGoAndTheFolderWhenNothingIsLeft)
{
    installFolder(kInstall);
    // Names that a listing may put before "." and "..": none of them is spared.
    for (const char* name :
         {"!first", "#1", "-dash", "..hidden", ".config", "Umbravia Uninstall.exe"}) {
        writeDos(std::string(kInstall) + name, "f");
    }
    EXPECT_EQ(InstallFolder::remove(kInstall).outcome, Outcome::Emptied);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(host(kInstall))) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"res"});

    fs::remove_all(host(std::string(kInstall) + "res"));
    writeDos(std::string(kInstall) + "Umbravia.exe", "exe");
    const FolderRemoval removal = InstallFolder::remove(kInstall);
    EXPECT_TRUE(removal.folderRemoved);
    EXPECT_FALSE(existsDos(kInstall));
}

TEST_F(UninstallStepsTest, AFileThatCannotBeDeletedStaysAndSoDoesTheFolder)
{
    writeDos(std::string(kInstall) + "Umbravia.exe", "exe");
    writeDos(std::string(kInstall) + "Chain.dll", "dll");
    // The system refuses to delete a read-only file, as it refuses a file in use.
    ASSERT_TRUE(
        SetFileAttributes((std::string(kInstall) + "Chain.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    const FolderRemoval removal = InstallFolder::remove(kInstall);
    EXPECT_EQ(removal.outcome, Outcome::Emptied);
    EXPECT_FALSE(removal.folderRemoved);
    EXPECT_TRUE(existsDos(std::string(kInstall) + "Chain.dll"));
    EXPECT_FALSE(existsDos(std::string(kInstall) + "Umbravia.exe"));
}

TEST_F(UninstallStepsTest, LinksInTheFolderGoAsLinksAndTheirTargetsStay)
{
    testsupport::TempDir outside;
    testsupport::writeFile(outside.path() / "precious.txt", "keep");
    fs::create_directories(outside.path() / "folder");
    testsupport::writeFile(outside.path() / "folder" / "inner.txt", "keep");
    testsupport::TempDir installDir;
    const std::string folder = dosOf(installDir.path()) + "\\";
    testsupport::writeFile(installDir.path() / "Umbravia.exe", "exe");
    fs::create_symlink(outside.path() / "precious.txt", installDir.path() / "file-link");
    fs::create_directory_symlink(outside.path() / "folder", installDir.path() / "folder-link");
    fs::create_directory_symlink("/", installDir.path() / "root-link");

    EXPECT_EQ(InstallFolder::remove(folder).outcome, Outcome::Emptied);
    EXPECT_EQ(testsupport::readFile(outside.path() / "precious.txt"), "keep");
    EXPECT_EQ(testsupport::readFile(outside.path() / "folder" / "inner.txt"), "keep");
    EXPECT_FALSE(fs::exists(fs::symlink_status(installDir.path() / "file-link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(installDir.path() / "folder-link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(installDir.path() / "root-link")));
    EXPECT_FALSE(fs::exists(installDir.path()));
}

TEST_F(UninstallStepsTest, AnInstallFolderThatIsALinkIsNotEmptied)
{
    testsupport::TempDir real;
    testsupport::writeFile(real.path() / "Umbravia.exe", "exe");
    testsupport::writeFile(real.path() / "data.txt", "keep");
    testsupport::TempDir links;
    fs::create_directory_symlink(real.path(), links.path() / "Umbravia");
    const std::string folder = dosOf(links.path() / "Umbravia") + "\\";
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, folder + "Umbravia.exe");

    Uninstaller::run();
    EXPECT_TRUE(fs::exists(real.path() / "Umbravia.exe"));
    EXPECT_TRUE(fs::exists(real.path() / "data.txt"));
    expectBoxes(
        {{"Setup did not delete the files in \"" + folder + "\": the folder is a symbolic link.",
          MB_ICONERROR}},
        "Umbravia Setup");
}

TEST_F(UninstallStepsTest, AGuardedFolderIsNeverEmptiedWhateverTheMainKeySays)
{
    // Decoys: a home folder of the test's own; drive C: and the profile of the prefix.
    testsupport::TempDir home;
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", home.path().c_str(), 1);
    testsupport::writeFile(home.path() / "Umbravia.exe", "exe");
    testsupport::writeFile(home.path() / "notes.txt", "keep");
    writeDos("C:\\Umbravia.exe", "exe");
    writeDos("C:\\boot.ini", "keep");
    fs::create_directories(platform::profileFolder());
    const std::string profile = dosOf(platform::profileFolder());
    writeDos(profile + "\\Umbravia.exe", "exe");

    for (const std::string& folder :
         {dosOf(home.path()) + "\\", std::string("C:\\"), profile + "\\",
          dosOf(m_prefix.path()) + "\\", dosOf(home.path()) + "\\..\\"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(InstallFolder::remove(folder).outcome, Outcome::Protected);
    }
    EXPECT_TRUE(fs::exists(home.path() / "Umbravia.exe"));
    EXPECT_TRUE(fs::exists(home.path() / "notes.txt"));
    EXPECT_TRUE(existsDos("C:\\Umbravia.exe"));
    EXPECT_TRUE(existsDos("C:\\boot.ini"));

    // Through the whole run: the user is told, and the rest of the run goes on.
    setString(HKEY_LOCAL_MACHINE, kMainKey, nullptr, "C:\\Umbravia.exe");
    Uninstaller::run();
    EXPECT_TRUE(existsDos("C:\\boot.ini"));
    expectBoxes({{"Setup did not delete the files in \"C:\\\": the folder is, or holds, the "
                  "system drive, the user profile or the home folder.",
                  MB_ICONERROR}},
                "Umbravia Setup");
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Kestrani"));
    ::setenv("HOME", savedHome.c_str(), 1);
}

// --- the windows at the end ---------------------------------------------------------------

class Dialog : public QDialog, public platform::Window {
public:
    explicit Dialog(const char* title)
    {
        setWindowTitle(title);
        attachWidget(this);
    }
};

TEST_F(UninstallStepsTest, EachRunningBoxComesBackAfterEveryOkUntilItsWindowCloses)
{
    auto mainWindow = std::make_unique<Dialog>("Umbravia");
    auto wizard = std::make_unique<Dialog>("Umbravia Settings Wizard");
    int shown = 0;
    m_boxes->setAnswerFunction([&](const platform::MessageBoxCall&) {
        ++shown;
        if (shown == 2) {
            mainWindow.reset(); // the user closes the main window before the second OK
        } else if (shown == 5) {
            wizard.reset();
        }
        return IDOK;
    });
    Uninstaller::waitForWindows();
    const std::pair<std::string, UINT> main = {
        "Setup found that Umbravia is already running, please close it and press ok to continue",
        MB_ICONINFORMATION};
    const std::pair<std::string, UINT> wizardBox = {
        "Setup found that Umbravia Settings Wizard is already running, please close it and press "
        "ok to continue",
        MB_ICONINFORMATION};
    expectBoxes({main, main, wizardBox, wizardBox, wizardBox}, "Umbravia Setup");
    // Nothing open: no box at all.
    Uninstaller::waitForWindows();
    EXPECT_TRUE(m_boxes->calls().empty());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
