// Backup and restore: the Backup folder, the copies, the registry-editor files, and for
// every program a backup, a Set and a restore through the real RegEdit.exe that bring
// its settings back byte for byte.

#include "RigwrightFixture.h"

#include <core/ConfigurationBackup.h>

#include <chrono>

namespace {

using namespace rigtest;
using namespace std::chrono_literals;
using rigwright::Operations;

class BackupRestoreTest : public RigwrightTest {
protected:
    void SetUp() override { installUmbravia(); }

    static HRESULT backupOnly(int which)
    {
        LONG f[8] = {};
        f[which] = 1;
        return Operations::BackupConfiguration(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    }
    static HRESULT restoreOnly(int which)
    {
        LONG f[8] = {};
        f[which] = 1;
        return Operations::RestoreConfiguration(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    }
    enum { IE, Netscape, Opera, MSN, Yahoo, Mirc, WsFtp, CuteFtp };

    static std::string backupFile(const char* name)
    {
        return readDos(std::string(kBackup) + "\\" + name);
    }
    static std::vector<std::string> backupFiles()
    {
        std::vector<std::string> names;
        if (fs::exists(host(kBackup))) {
            for (const auto& entry : fs::directory_iterator(host(kBackup))) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The restore's imports run in RegEdit.exe processes of their own.
    static bool eventually(HKEY root, const char* path, const char* name,
                           const std::optional<Value>& expected)
    {
        return testsupport::waitFor([&] { return value(root, path, name) == expected; }, 20s);
    }
};

TEST_F(BackupRestoreTest, BackupFolderComesFromTheRecordedProgramPath)
{
    EXPECT_EQ(rigwright::ConfigurationBackup::folder(), kBackup);
    setString(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere", nullptr, "C:\\Umbra\\");
    EXPECT_EQ(rigwright::ConfigurationBackup::folder(), "C:\\Umbra\\Backup");
    setString(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere", nullptr,
              "C:\\A\\Umbravia.exe\\B\\Umbravia.exe");
    EXPECT_EQ(rigwright::ConfigurationBackup::folder(), "C:\\A\\Backup");
}

TEST_F(BackupRestoreTest, WithoutARecordedPathNothingIsWrittenAnywhere)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Kestrani"),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(rigwright::ConfigurationBackup::folder());
    createKey(HKEY_CURRENT_USER, kMsn);
    // The current folder is on the prefix's drive C:, so that a backup into "the root of
    // the current drive" would land in the prefix, never in the real "/".
    const fs::path cwd = m_prefix.driveC() / "cwd";
    fs::create_directories(cwd);
    const fs::path before = fs::current_path();
    fs::current_path(cwd);
    EXPECT_EQ(Operations::BackupConfiguration(1, 1, 1, 1, 1, 1, 1, 1), rigwright::kOk);
    EXPECT_EQ(Operations::RestoreConfiguration(1, 1, 1, 1, 1, 1, 1, 1), rigwright::kOk);
    fs::current_path(before);
    EXPECT_TRUE(fs::is_empty(cwd));
    EXPECT_FALSE(existsDos("C:\\MSN.reg"));
    EXPECT_FALSE(existsDos("C:\\Backup"));
}

TEST_F(BackupRestoreTest, OnlyTheSelectedProgramIsWrittenAndTheFolderIsMadeForIt)
{
    installOpera("Use HTTP=0\r\n");
    EXPECT_FALSE(existsDos(kBackup));
    EXPECT_EQ(backupOnly(MSN), rigwright::kOk);
    EXPECT_EQ(backupFiles(), std::vector<std::string>{"MSN.reg"});
    // The key is missing: header, blank line and key line only.
    EXPECT_EQ(backupFile("MSN.reg"), "Windows Registry Editor Version 5.00\r\n\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger]\r\n");
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(BackupRestoreTest, NothingToCopyMakesNoFolder)
{
    EXPECT_EQ(Operations::BackupConfiguration(0, 1, 1, 0, 0, 1, 1, 0), rigwright::kOk);
    EXPECT_FALSE(existsDos(kBackup));
}

TEST_F(BackupRestoreTest, RegistryFilesHoldEveryValueInAFormTheImportTakes)
{
    setDword(HKEY_CURRENT_USER, kIESettings, "ProxyEnable", 1);
    setDword(HKEY_CURRENT_USER, kYahoo, "Proxy Enabled", 0);
    setString(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy", "say \"hi\" C:\\x");
    setDword(HKEY_CURRENT_USER, kYahoo, "Proxy Port", 8080);
    createKey(HKEY_CURRENT_USER, kMsn);
    EXPECT_EQ(Operations::SetMSNProxySettings(1, 2, "127.0.0.1", 8080), rigwright::kOk);
    createKey(HKEY_CURRENT_USER, kCute);
    EXPECT_EQ(Operations::SetCute_FTPProxySettings("fw", 21, 10), rigwright::kOk);

    EXPECT_EQ(Operations::BackupConfiguration(1, 0, 0, 1, 1, 0, 0, 1), rigwright::kOk);
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    EXPECT_EQ(backupFile("Internet Explorer.reg"),
              header + "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                       "Internet Settings]\r\n\"ProxyEnable\"=dword:00000001\r\n"
                       "\"ProxyServer\"=-\r\n");
    EXPECT_EQ(backupFile("Yahoo Messenger.reg"),
              header +
                  "[HKEY_CURRENT_USER\\Software\\Yahoo\\Pager]\r\n"
                  "\"Proxy Enabled\"=dword:00000000\r\n"
                  "\"HTTP Proxy\"=\"say \\\"hi\\\" C:\\\\x\"\r\n\"Proxy Port\"=dword:1f90\r\n");
    EXPECT_EQ(backupFile("MSN.reg"),
              header + "[HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger]\r\n"
                       "\"ProxyState\"=hex:01,00,00,00\r\n\"ProxyType\"=hex:02,00,00,00\r\n"
                       "\"HTTPPort\"=hex:90,1f,00,00\r\n\"HTTPProxy\"=\"127.0.0.1\"\r\n");
    EXPECT_EQ(backupFile("Cute FTP.reg"),
              header + "[HKEY_CURRENT_USER\\Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP]\r\n"
                       "\"FireHost\"=\"fw\"\r\n\"FirePort\"=dword:15\r\n\"FireType\"=dword:a\r\n");
}

TEST_F(BackupRestoreTest, ABackupReplacesTheSelectedFilesAndKeepsTheOthers)
{
    installOpera("first\r\n");
    installMirc("mirc\r\n");
    ASSERT_EQ(Operations::BackupConfiguration(0, 0, 1, 0, 0, 1, 0, 0), rigwright::kOk);
    writeDos(kOperaIni, "second\r\n");
    writeDos(kMircIni, "changed\r\n");
    ASSERT_EQ(backupOnly(Opera), rigwright::kOk);
    EXPECT_EQ(backupFile("Opera6.ini"), "second\r\n");
    EXPECT_EQ(backupFile("mirc.ini"), "mirc\r\n");
}

TEST_F(BackupRestoreTest, FileProgramsNeedTheirMarkerForBackup)
{
    // Without "Opera" in the uninstall string there is no folder to copy from.
    install("Opera", "C:\\Program Files\\Browser\\uninst.exe");
    writeDos("C:\\Program Files\\Browser\\uninst.exe\\Opera6.ini", "x");
    ASSERT_EQ(backupOnly(Opera), rigwright::kOk);
    EXPECT_TRUE(backupFiles().empty());
}

TEST_F(BackupRestoreTest, RestoreWithoutFlagsDoesNothing)
{
    installOpera("Use HTTP=0\r\n");
    writeDos(std::string(kBackup) + "\\Opera6.ini", "other");
    EXPECT_EQ(Operations::RestoreConfiguration(0, 0, 0, 0, 0, 0, 0, 0), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=0\r\n");
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(BackupRestoreTest, RestoreWithoutBackupFilesIsSilent)
{
    installOpera("Use HTTP=0\r\n");
    EXPECT_EQ(Operations::RestoreConfiguration(1, 1, 1, 1, 1, 1, 1, 1), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni), "Use HTTP=0\r\n");
    EXPECT_TRUE(m_boxes->calls().empty());
}

// --- end to end, one program each --------------------------------------------------------

TEST_F(BackupRestoreTest, InternetExplorerComesBackIncludingAnAbsentProxyServer)
{
    setDword(HKEY_CURRENT_USER, kIESettings, "ProxyEnable", 0);
    const Value connection{REG_BINARY, std::string("\x3c\0\0\0\x07\0\0\0\x01\0\0\0", 12)};
    setValue(HKEY_CURRENT_USER, kIEConnections, "DefaultConnectionSettings", connection.type,
             connection.data);
    setValue(HKEY_USERS, kDefaultConnections, "Dial \"up\"", REG_NONE, std::string("\0x", 2));
    ASSERT_EQ(backupOnly(IE), rigwright::kOk);
    ASSERT_EQ(Operations::SetIEProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    ASSERT_TRUE(value(HKEY_CURRENT_USER, kIESettings, "ProxyServer"));
    ASSERT_EQ(restoreOnly(IE), rigwright::kOk);
    EXPECT_TRUE(eventually(HKEY_CURRENT_USER, kIESettings, "ProxyServer", std::nullopt));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"), (Value{REG_DWORD, dword(0)}));
    // The connection values the Set overwrote come back as they were, type included.
    EXPECT_TRUE(eventually(HKEY_USERS, kDefaultConnections, "Dial \"up\"",
                           Value{REG_NONE, std::string("\0x", 2)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "DefaultConnectionSettings"), connection);
}

TEST_F(BackupRestoreTest, YahooComesBack)
{
    setDword(HKEY_CURRENT_USER, kYahoo, "Proxy Enabled", 0);
    setString(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy", "corp.example");
    setDword(HKEY_CURRENT_USER, kYahoo, "Proxy Port", 3128);
    ASSERT_EQ(backupOnly(Yahoo), rigwright::kOk);
    ASSERT_EQ(Operations::SetYahooMessangerProxySettings(1, "127.0.0.1", 8080, 0, "", 0, 0),
              rigwright::kOk);
    ASSERT_EQ(restoreOnly(Yahoo), rigwright::kOk);
    EXPECT_TRUE(eventually(HKEY_CURRENT_USER, kYahoo, "Proxy Port", Value{REG_DWORD, dword(3128)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "Proxy Enabled"), (Value{REG_DWORD, dword(0)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy"), (Value{REG_SZ, sz("corp.example")}));
}

TEST_F(BackupRestoreTest, MsnComesBackWithItsPort)
{
    createKey(HKEY_CURRENT_USER, kMsn);
    ASSERT_EQ(Operations::SetMSNProxySettings(1, 2, "corp.example", 3128), rigwright::kOk);
    ASSERT_EQ(backupOnly(MSN), rigwright::kOk);
    ASSERT_EQ(Operations::SetMSNProxySettings(0, 1, "127.0.0.1", 8080), rigwright::kOk);
    ASSERT_EQ(restoreOnly(MSN), rigwright::kOk);
    EXPECT_TRUE(eventually(HKEY_CURRENT_USER, kMsn, "HTTPPort",
                           Value{REG_BINARY, std::string("\x38\x0c\0\0", 4)}));
    EXPECT_TRUE(
        eventually(HKEY_CURRENT_USER, kMsn, "HTTPProxy", Value{REG_SZ, sz("corp.example")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "ProxyState"),
              (Value{REG_BINARY, std::string("\x01\0\0\0", 4)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "ProxyType"),
              (Value{REG_BINARY, std::string("\x02\0\0\0", 4)}));
}

TEST_F(BackupRestoreTest, CuteFtpComesBack)
{
    setString(HKEY_CURRENT_USER, kCute, "FireHost", "fw.example");
    setDword(HKEY_CURRENT_USER, kCute, "FirePort", 1080);
    setDword(HKEY_CURRENT_USER, kCute, "FireType", 2);
    ASSERT_EQ(backupOnly(CuteFtp), rigwright::kOk);
    ASSERT_EQ(Operations::SetCute_FTPProxySettings("127.0.0.1", 8080, 4), rigwright::kOk);
    ASSERT_EQ(restoreOnly(CuteFtp), rigwright::kOk);
    EXPECT_TRUE(eventually(HKEY_CURRENT_USER, kCute, "FireType", Value{REG_DWORD, dword(2)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kCute, "FireHost"), (Value{REG_SZ, sz("fw.example")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kCute, "FirePort"), (Value{REG_DWORD, dword(1080)}));
}

TEST_F(BackupRestoreTest, FileProgramsComeBackByteForByte)
{
    const std::string opera = "[Proxy]\r\nUse HTTP=0\r\nHTTP Server=a:1\r\n";
    const std::string mirc = "[socks]\r\nenable=no\r\nport=1080\r\nport=1\r\nmethod=m\r\n";
    const std::string wsftp = "[Sites]\r\nA=1\r\n";
    const std::string prefs = "user_pref(\"network.proxy.type\", 0);\r\n";
    installOpera(opera);
    installMirc(mirc);
    installWsFtp();
    writeDos(wsFtpIni(), wsftp);
    installNetscape(prefs);

    ASSERT_EQ(Operations::BackupConfiguration(0, 1, 1, 0, 0, 1, 1, 0), rigwright::kOk);
    EXPECT_EQ(backupFiles(),
              (std::vector<std::string>{"Opera6.ini", "firewall.ini", "mirc.ini", "prefs.js"}));
    ASSERT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    ASSERT_EQ(Operations::SetMircProxySettings(1, "127.0.0.1", 8080, "proxy"), rigwright::kOk);
    ASSERT_EQ(Operations::SetWS_FTPProxySettings(1, "127.0.0.1", 8080, 3), rigwright::kOk);
    ASSERT_EQ(Operations::SetNetscapeProxySettings("127.0.0.1", 8080, 1), rigwright::kOk);
    ASSERT_NE(readDos(kOperaIni), opera);
    ASSERT_NE(readDos(kMircIni), mirc);
    ASSERT_NE(readDos(wsFtpIni()), wsftp);
    ASSERT_NE(readDos(prefsJs()), prefs);

    ASSERT_EQ(Operations::RestoreConfiguration(0, 1, 1, 0, 0, 1, 1, 0), rigwright::kOk);
    EXPECT_EQ(readDos(kOperaIni), opera);
    EXPECT_EQ(readDos(kMircIni), mirc);
    EXPECT_EQ(readDos(wsFtpIni()), wsftp);
    EXPECT_EQ(readDos(prefsJs()), prefs);
    EXPECT_TRUE(m_boxes->calls().empty());
}

} // namespace
