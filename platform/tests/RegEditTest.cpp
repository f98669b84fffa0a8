// RegEdit.exe end to end: the built program imports and exports in the test's prefix.

#include "TestSupport.h"

#include <platform/RegFile.h>
#include <platform/Registry.h>

#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class RegEditTest : public testsupport::PrefixTest {
protected:
    testsupport::ProcessResult regedit(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{(testsupport::binDir() / "RegEdit.exe").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_PREFIX"] = m_prefix.path().string();
        return testsupport::runProcess(argv, options);
    }
    static std::string get(const char* path, const char* name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return "<no key>";
        }
        char buffer[256] = {};
        DWORD size = sizeof buffer;
        const LONG rc =
            RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::string(buffer, size) : "<no value>";
    }
};

TEST_F(RegEditTest, ImportsAFileWhosePathArrivesInPieces)
{
    const fs::path file =
        m_prefix.driveC() / "Program Files" / "Umbravia" / "Backup" / "Internet Explorer.reg";
    testsupport::writeFile(file,
                           "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                           "Internet Settings]\r\n"
                           "\"ProxyEnable\"=dword:00000001\r\n"
                           "\"ProxyServer\"=\"127.0.0.1:8080\"\r\n");
    // What WinExec("C:\WINDOWS\RegEdit.exe /s C:\Program Files\...\Internet Explorer.reg")
    // hands over: the unquoted path split at its blanks.
    auto result =
        regedit({"/s", "C:\\Program", "Files\\Umbravia\\Backup\\Internet", "Explorer.reg"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    EXPECT_EQ(get(key, "ProxyServer"), std::string("127.0.0.1:8080", 15));
    EXPECT_EQ(get(key, "ProxyEnable"), std::string("\x01\0\0\0", 4));
}

TEST_F(RegEditTest, ExportsAKeyWithBlanksToAFileWithBlanks)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP", 0,
                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "FireHost", 0, REG_SZ, reinterpret_cast<const BYTE*>("proxy"), 6),
              ERROR_SUCCESS);
    RegCloseKey(key);
    fs::create_directories(m_prefix.driveC() / "My Backup");
    auto result = regedit({"/e", "C:\\My", "Backup\\Cute", "FTP.reg",
                           "HKEY_CURRENT_USER\\Software\\GlobalSCAPE\\CuteFTP", "5.0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto expected =
        platform::regfile::exportText("HKEY_CURRENT_USER\\Software\\GlobalSCAPE\\CuteFTP 5.0");
    ASSERT_TRUE(expected);
    EXPECT_EQ(testsupport::readFile(m_prefix.driveC() / "My Backup" / "Cute FTP.reg"), *expected);
    EXPECT_NE(expected->find("\"FireHost\"=\"proxy\"\r\n"), std::string::npos);

    // A host path works as well, and the import puts back what was exported.
    const fs::path host = m_prefix.path() / "host copy.reg";
    result = regedit({"/e", host.string(), "HKCU\\Software\\GlobalSCAPE"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(SHDeleteKey(HKEY_CURRENT_USER, "Software\\GlobalSCAPE"), DWORD(ERROR_SUCCESS));
    result = regedit({"/s", host.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(get("Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP", "FireHost"),
              std::string("proxy", 6));
}

TEST_F(RegEditTest, FailuresExitNonZeroWithAClearMessage)
{
    auto missing = regedit({"/s", "C:\\nowhere\\none.reg"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("C:\\nowhere\\none.reg: cannot read"), std::string::npos)
        << missing.err;

    testsupport::writeFile(m_prefix.driveC() / "bad.reg",
                           "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Bad]\r\n\"x\"=dword:zz\r\n");
    auto bad = regedit({"/s", "C:\\bad.reg"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("line 3: malformed value data"), std::string::npos) << bad.err;
    EXPECT_EQ(get("Software\\Bad", "x"), "<no key>");

    auto noKey = regedit({"/e", "C:\\out.reg", "HKEY_CURRENT_USER\\Software\\Absent"});
    EXPECT_NE(noKey.exitCode, 0);
    EXPECT_NE(noKey.err.find("cannot open HKEY_CURRENT_USER\\Software\\Absent"), std::string::npos)
        << noKey.err;
    EXPECT_FALSE(fs::exists(m_prefix.driveC() / "out.reg"));

    EXPECT_EQ(regedit({}).exitCode, 2);
    EXPECT_EQ(regedit({"/e", "C:\\out.reg"}).exitCode, 2);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
