// Opera, mIRC, WS_FTP and Netscape: the edits of their files, the file error texts and
// the Windows 9x/NT differences.

#include "RigwrightFixture.h"

#include <core/Mirc.h>

namespace {

using namespace rigtest;
using rigwright::Operations;

class FileProgramsTest : public RigwrightTest {
protected:
    void expectOneBox(const std::string& text, const char* caption = "Umbravia Rigwright")
    {
        auto calls = m_boxes->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].text, text);
        EXPECT_EQ(calls[0].caption, caption);
        EXPECT_EQ(calls[0].icon(), MB_ICONERROR);
        m_boxes->clear();
    }
};

// --- Opera -----------------------------------------------------------------------------

TEST_F(FileProgramsTest, OperaReplacesBothEntriesAndKeepsTheOldLineEnd)
{
    installOpera("[Proxy]\r\nUse HTTP=0\r\nHTTP Server=old:1\r\nUse FTP=0\r\n");
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni),
              "[Proxy]\r\nUse HTTP=1\n\r\nHTTP Server=127.0.0.1:8080\n\r\nUse FTP=0\r\n");
    EXPECT_FALSE(existsDos("C:\\Program Files\\Opera\\Opera6.bak"));
    // A second run finds its own lines and leaves them as they are.
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni),
              "[Proxy]\r\nUse HTTP=1\n\r\nHTTP Server=127.0.0.1:8080\n\r\nUse FTP=0\r\n");
    EXPECT_EQ(Operations::LoadOperaProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(FileProgramsTest, OperaAddsNoMissingEntry)
{
    installOpera("[Proxy]\r\nUse HTTP=0\r\n");
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni), "[Proxy]\r\nUse HTTP=1\n\r\n");
}

TEST_F(FileProgramsTest, OperaWithoutItsFileNamesTheFileAndTheManualConfiguration)
{
    install("Opera", "C:\\Program Files\\Opera\\uninst\\Opera.exe");
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kFalse);
    expectOneBox("The file C:\\Program Files\\Opera\\Opera6.ini could not be used: its folder does "
                 "not exist.\n You may be using another version of opera, please refer to "
                 "Umbravia help under (Manual Configuration For Opera)");
    EXPECT_EQ(Operations::LoadOperaProxySettings(), rigwright::kFalse);
    expectOneBox("The file C:\\Program Files\\Opera\\Opera6.ini could not be used: its folder does "
                 "not exist.");
}

TEST_F(FileProgramsTest, OperaOnWindows9xLooksForTheFolderInCapitals)
{
    installOpera("Use HTTP=0\r\n");
    platform::setVersionPlatformForTests(true);
    // The NT uninstall string has no "OPERA": the whole string is taken for the folder.
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kFalse);
    expectOneBox("The file C:\\Program Files\\Opera\\uninst\\Opera.exe /uninstall\\Opera6.ini "
                 "could not be used: its folder does not exist.\n You may be using another "
                 "version of opera, please refer to Umbravia help under (Manual Configuration "
                 "For Opera)");
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=0\r\n");

    install("Opera", "C:\\PROGRAM FILES\\OPERA\\OPERA.EXE");
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=1\n\r\n");
}

// --- mIRC ------------------------------------------------------------------------------

TEST_F(FileProgramsTest, MircEditsTheSocksEntriesAndSkipsTheFirstPort)
{
    installMirc("[ident]\r\nport=113\r\n[socks]\r\nenable=no\r\nport=1080\r\nmethod=socks4\r\n"
                "hostname=old.example\r\n");
    EXPECT_EQ(Operations::SetMircProxySettings(1, "127.0.0.1", 8080, "proxy"), rigwright::kOk);
    EXPECT_EQ(readDos(kMircIni), "[ident]\r\nport=113\r\n[socks]\r\nenable=yes\n\r\nport=8080\n\r\n"
                                 "method=proxy\n\r\nhostname=127.0.0.1\n\r\n");
    EXPECT_FALSE(existsDos("C:\\Program Files\\mIRC\\mirc.bak"));
    EXPECT_EQ(Operations::LoadMircProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(FileProgramsTest, MircWithoutSocksSectionIsWrittenBackUnchanged)
{
    const std::string ini = "[mirc]\r\nnick=x\r\nenable=no\r\nport=1\r\nport=2\r\n";
    installMirc(ini);
    EXPECT_EQ(Operations::SetMircProxySettings(0, "127.0.0.1", 8080, "proxy"), rigwright::kOk);
    EXPECT_EQ(readDos(kMircIni), ini);
}

TEST_F(FileProgramsTest, MircPortRuleOnShortFiles)
{
    // Only one "port=": nothing after the skipped one to change.
    EXPECT_EQ(rigwright::Mirc::edit("[socks]\r\nport=1080\r\n", 0, "h", 8080, "m"),
              "[socks]\r\nport=1080\r\n");
    // The file ends inside the skipped characters.
    EXPECT_EQ(rigwright::Mirc::edit("[socks]port=1", 0, "h", 8080, "m"), "[socks]port=1");
    EXPECT_EQ(rigwright::Mirc::edit("[socks]\r\nenable=yes", 0, "h", 1, "m"),
              "[socks]\r\nenable=no\n");
}

TEST_F(FileProgramsTest, MircPathLosesItsFirstCharacter)
{
    // Without the quote the first character removed is the drive letter: "C:" becomes ":".
    install("mIRC", "C:\\Program Files\\mIRC\\mirc.exe");
    writeDos(kMircIni, "[socks]\r\n");
    EXPECT_EQ(Operations::SetMircProxySettings(1, "h", 1, "m"), rigwright::kFalse);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(
        calls[0].text.rfind("The file :\\Program Files\\mIRC\\mirc.ini could not be used: ", 0), 0u)
        << calls[0].text;
}

// --- WS_FTP ----------------------------------------------------------------------------

TEST_F(FileProgramsTest, WsFtpFirstUseCreatesTheFoldersAndTheSectionEvenWhenDisabled)
{
    installWsFtp();
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(0, "127.0.0.1", 8080, 3), rigwright::kOk);
    EXPECT_EQ(readDos(wsFtpIni()),
              "[Umbravia Proxy Settings]\nHOST=127.0.0.1\nFIRETYPE=3\nPORT=8080\n");
    EXPECT_EQ(Operations::LoadWS_FTPProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(FileProgramsTest, WsFtpReplacesItsSectionOnceAndNeverGrowsTheFile)
{
    installWsFtp();
    const std::string own = "[Sites]\r\nA=1\r\n[Other]\r\nB=2\r\n";
    writeDos(wsFtpIni(), own + "[Umbravia Proxy Settings]\r\nHOST=old\r\nFIRETYPE=1\r\nPORT=1\r\n");
    const std::string section =
        "[Umbravia Proxy Settings]\r\nHOST=127.0.0.1\r\nFIRETYPE=-2\r\nPORT=8080\r\n";
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "127.0.0.1", 8080, -2), rigwright::kOk);
        EXPECT_EQ(readDos(wsFtpIni()), own + section) << "run " << run;
    }
    EXPECT_FALSE(existsDos(appData() + "\\Ipswitch\\WS_FTP\\Sites\\firewall.bak"));
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(0, "127.0.0.1", 8080, -2), rigwright::kOk);
    EXPECT_EQ(readDos(wsFtpIni()), own);
}

TEST_F(FileProgramsTest, WsFtpKeepsBareLineFeedsOfTheFirstUseFile)
{
    installWsFtp();
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "a", 1, 1), rigwright::kOk);
    writeDos(wsFtpIni(), "[Keep]\nX=1\n" + readDos(wsFtpIni()));
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "b", 2, 2), rigwright::kOk);
    EXPECT_EQ(readDos(wsFtpIni()),
              "[Keep]\nX=1\n[Umbravia Proxy Settings]\r\nHOST=b\r\nFIRETYPE=2\r\nPORT=2\r\n");
}

TEST_F(FileProgramsTest, WsFtpWithIpswitchFolderButNoFileChangesNothing)
{
    installWsFtp();
    fs::create_directories(host(appData() + "\\Ipswitch\\WS_FTP"));
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "127.0.0.1", 8080, 3), rigwright::kOk);
    EXPECT_FALSE(existsDos(wsFtpIni()));
    EXPECT_EQ(Operations::LoadWS_FTPProxySettings(), rigwright::kFalse);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text,
              "The file " + wsFtpIni() + " could not be used: its folder does not exist.");
}

TEST_F(FileProgramsTest, WsFtpTemporaryFileThatCannotBeMadeIsReported)
{
    installWsFtp();
    writeDos(wsFtpIni(), "[Sites]\r\n");
    fs::create_directories(host(appData() + "\\Ipswitch\\WS_FTP\\Sites\\firewall.bak"));
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "127.0.0.1", 8080, 3), rigwright::kFalse);
    expectOneBox("Unable to open data file");
    EXPECT_EQ(readDos(wsFtpIni()), "[Sites]\r\n");
}

TEST_F(FileProgramsTest, WsFtpOnWindows9xKeepsEverythingInCommonFiles)
{
    installWsFtp();
    platform::setVersionPlatformForTests(true);
    const std::string sites = "C:\\Program Files\\Common Files\\Ipswitch\\WS_FTP\\Sites";
    // First use: the folders and the file are made where the edit will look for them.
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "h", 21, 1), rigwright::kOk);
    EXPECT_EQ(readDos(sites + "\\firewall.ini"),
              "[Umbravia Proxy Settings]\nHOST=h\nFIRETYPE=1\nPORT=21\n");
    EXPECT_TRUE(m_boxes->calls().empty());
    // The next edit finds that file; the application-data copy is not the 9x one.
    writeDos(sites + "\\firewall.ini", "[Sites]\r\n");
    writeDos(wsFtpIni(), "unused\r\n");
    EXPECT_EQ(Operations::SetWS_FTPProxySettings(1, "h", 22, 1), rigwright::kOk);
    EXPECT_EQ(readDos(sites + "\\firewall.ini"),
              "[Sites]\r\n[Umbravia Proxy Settings]\r\nHOST=h\r\nFIRETYPE=1\r\nPORT=22\r\n");
    EXPECT_EQ(readDos(wsFtpIni()), "unused\r\n");
    EXPECT_FALSE(existsDos(sites + "\\firewall.bak"));
    EXPECT_EQ(Operations::LoadWS_FTPProxySettings(), rigwright::kOk);
}

// --- Netscape --------------------------------------------------------------------------

TEST_F(FileProgramsTest, NetscapeAppendsMissingPreferencesInOrder)
{
    installNetscape("user_pref(\"browser.startup.page\", 1);\r\n");
    EXPECT_EQ(Operations::SetNetscapeProxySettings("127.0.0.1", 8080, 1), rigwright::kOk);
    EXPECT_EQ(readDos(prefsJs()), "user_pref(\"browser.startup.page\", 1);\r\n"
                                  "user_pref(\"network.proxy.type\", 1);\n"
                                  "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                                  "user_pref(\"network.proxy.http_port\", 8080);\n");
    EXPECT_EQ(Operations::LoadNetscapeProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(FileProgramsTest, NetscapeReplacesItsPreferencesAndLeavesTheOthers)
{
    installNetscape("user_pref(\"network.proxy.ftp\", \"f\");\r\n"
                    "user_pref(\"network.proxy.http\", \"old\");\r\n"
                    "user_pref(\"network.proxy.http_port\", 3128);\r\n"
                    "user_pref(\"network.proxy.type\", 1);\r\n");
    EXPECT_EQ(Operations::SetNetscapeProxySettings("127.0.0.1", 8080, 0), rigwright::kOk);
    EXPECT_EQ(readDos(prefsJs()), "user_pref(\"network.proxy.ftp\", \"f\");\r\n"
                                  "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n\r\n"
                                  "user_pref(\"network.proxy.http_port\", 8080);\n\r\n"
                                  "user_pref(\"network.proxy.type\", 0);\n\r\n");
}

TEST_F(FileProgramsTest, NetscapeWithTwoProfilesCannotOpenItsFile)
{
    installNetscape("x");
    writeDos(appData() + "\\Mozilla\\Profiles\\default\\other.slt\\prefs.js", "y");
    EXPECT_EQ(Operations::SetNetscapeProxySettings("127.0.0.1", 8080, 1), rigwright::kFalse);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].text.find("other.slt\\prefs.jsx1y2z3.slt\\prefs.js could not be used"),
              std::string::npos)
        << calls[0].text;
    EXPECT_NE(calls[0].text.find("\n You may be using another version of Netscape, please refer to "
                                 "Umbravia help under (Manual Configuration For Netscape)"),
              std::string::npos);
    EXPECT_EQ(readDos(prefsJs()), "x");
}

TEST_F(FileProgramsTest, TemporaryFilesThatCannotBeMadeAreReportedAndTargetsKept)
{
    installMirc("[socks]\r\nenable=no\r\n");
    fs::create_directories(host("C:\\Program Files\\mIRC\\mirc.bak"));
    EXPECT_EQ(Operations::SetMircProxySettings(1, "h", 1, "m"), rigwright::kFalse);
    expectOneBox("The file C:\\Program Files\\mIRC\\mirc.bak could not be used: access was "
                 "denied (the file may be read-only or a folder).");
    EXPECT_EQ(readDos(kMircIni), "[socks]\r\nenable=no\r\n");

    installNetscape("x");
    const std::string temporary = appData() + "\\Mozilla\\Profiles\\default\\x1y2z3.slt\\prefs.bak";
    fs::create_directories(host(temporary));
    EXPECT_EQ(Operations::SetNetscapeProxySettings("h", 1, 1), rigwright::kFalse);
    expectOneBox("The file " + temporary +
                 " could not be used: access was denied (the file may be read-only or a folder).");
    EXPECT_EQ(readDos(prefsJs()), "x");

    installOpera("Use HTTP=0\r\n");
    fs::create_directories(host("C:\\Program Files\\Opera\\Opera6.bak"));
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "h", 1), rigwright::kFalse);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    // Only a target that cannot be opened mentions the manual configuration.
    EXPECT_EQ(calls[0].text.find("Manual Configuration"), std::string::npos);
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=0\r\n");
}

TEST_F(FileProgramsTest, MissingFilesOfInstalledProgramsAreNamed)
{
    install("mIRC", "\"C:\\Program Files\\mIRC\\mirc.exe\" -uninstall");
    EXPECT_EQ(Operations::LoadMircProxySettings(), rigwright::kFalse);
    expectOneBox(
        "The file C:\\Program Files\\mIRC\\mirc.ini could not be used: its folder does not exist.");
    EXPECT_EQ(Operations::SetMircProxySettings(1, "h", 1, "m"), rigwright::kFalse);
    expectOneBox(
        "The file C:\\Program Files\\mIRC\\mirc.ini could not be used: its folder does not exist.");
    install("Netscape (7.0)", "C:\\Program Files\\Netscape\\uninstall.exe");
    EXPECT_EQ(Operations::LoadNetscapeProxySettings(), rigwright::kFalse);
    // No profile folder: the path ends at the profiles folder itself.
    expectOneBox("The file " + appData() +
                 "\\Mozilla\\Profiles\\default\\ could not be used: its folder does not exist.");
}

TEST_F(FileProgramsTest, ReadOnlyFilesAreReportedAndLeftAlone)
{
    installOpera("Use HTTP=0\r\n");
    fs::permissions(host(kOperaIni), fs::perms::owner_read);
    EXPECT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kFalse);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(
        calls[0].text.rfind("The file C:\\Program Files\\Opera\\Opera6.ini could not be used: "
                            "access was denied",
                            0),
        0u);
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=0\r\n");
}

} // namespace
