// The environment folder and the Windows view of it: layout, special folders, system
// folders, user name, command line, program path and version.

#include <platform/Environment.h>
#include <platform/Modules.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class EnvironmentTest : public testsupport::PrefixTest {
protected:
    std::string profile() { return "C:\\Documents and Settings\\" + platform::loginName(); }
};

TEST_F(EnvironmentTest, ThePrefixHoldsDriveCAndTheProfile)
{
    const fs::path c = m_prefix.driveC();
    const fs::path profile = c / "Documents and Settings" / platform::loginName();
    for (const fs::path& folder : {c / "WINDOWS", c / "WINDOWS" / "system32", c / "Program Files",
                                   profile / "Application Data", profile / "Cookies",
                                   profile / "Favorites", profile / "History", profile / "Recent",
                                   profile / "NetHood", profile / "Local Settings" / "Temp",
                                   profile / "Local Settings" / "Temporary Internet Files"}) {
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    }
    EXPECT_EQ(platform::profileFolder(), profile);
    EXPECT_EQ(std::string(std::getenv("UMBRAVIA_PREFIX")), m_prefix.path().string());
}

TEST_F(EnvironmentTest, SpecialFoldersLieInTheProfile)
{
    const std::pair<int, const char*> folders[] = {
        {CSIDL_APPDATA, "\\Application Data"},
        {CSIDL_INTERNET_CACHE, "\\Local Settings\\Temporary Internet Files"},
        {CSIDL_COOKIES, "\\Cookies"},
        {CSIDL_FAVORITES, "\\Favorites"},
        {CSIDL_RECENT, "\\Recent"},
        {CSIDL_NETHOOD, "\\NetHood"},
        {CSIDL_HISTORY, "\\History"},
    };
    for (const auto& [csidl, subfolder] : folders) {
        char path[MAX_PATH] = {};
        EXPECT_TRUE(SHGetSpecialFolderPath(0, path, csidl, FALSE)) << csidl;
        EXPECT_EQ(std::string(path), profile() + subfolder);
    }
    char path[MAX_PATH] = "unchanged";
    EXPECT_FALSE(SHGetSpecialFolderPath(0, path, 5 /* CSIDL_PERSONAL */, TRUE));
    EXPECT_STREQ(path, "unchanged");
}

TEST_F(EnvironmentTest, AMissingSpecialFolderIsMadeOnlyWhenAskedFor)
{
    const fs::path cookies = platform::profileFolder() / "Cookies";
    fs::remove_all(cookies);
    char path[MAX_PATH] = {};
    EXPECT_FALSE(SHGetSpecialFolderPath(0, path, CSIDL_COOKIES, FALSE));
    EXPECT_FALSE(fs::exists(cookies));
    EXPECT_TRUE(SHGetSpecialFolderPath(0, path, CSIDL_COOKIES, TRUE));
    EXPECT_TRUE(fs::is_directory(cookies));
    EXPECT_EQ(std::string(path), profile() + "\\Cookies");
}

TEST_F(EnvironmentTest, SystemFoldersTempPathAndUserName)
{
    char buffer[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectory(buffer, sizeof buffer), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDirectory(buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
    EXPECT_EQ(GetWindowsDirectory(buffer, 5), 11u); // too small: the size needed

    std::string temp = profile() + "\\Local Settings\\Temp\\";
    EXPECT_EQ(GetTempPath(sizeof buffer, buffer), temp.size());
    EXPECT_EQ(std::string(buffer), temp);
    EXPECT_EQ(platform::toHostPath(buffer).value(),
              platform::profileFolder() / "Local Settings" / "Temp");

    DWORD size = sizeof buffer;
    ASSERT_TRUE(GetUserName(buffer, &size));
    EXPECT_EQ(std::string(buffer), platform::loginName());
    EXPECT_EQ(size, platform::loginName().size() + 1);
    size = 1;
    EXPECT_FALSE(GetUserName(buffer, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, platform::loginName().size() + 1);
}

TEST_F(EnvironmentTest, TheVersionIsXpUnlessNineXIsAskedFor)
{
    OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);

    platform::setVersionPlatformForTests(true);
    ASSERT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    platform::setVersionPlatformForTests(false);
    ASSERT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);

    ::setenv("UMBRAVIA_WINVER", "9x", 1);
    ASSERT_TRUE(GetVersionEx(&info));
    ::unsetenv("UMBRAVIA_WINVER");
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);

    info.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionEx(&info));
}

TEST_F(EnvironmentTest, ProgramPathAndCommandLine)
{
    EXPECT_EQ(platform::programPathFromArgv0("/opt/x/Umbravia.exe").str(),
              "Z:\\opt\\x\\Umbravia.exe");
    fs::path start = fs::current_path();
    fs::current_path(m_prefix.driveC() / "Program Files");
    EXPECT_EQ(platform::programPathFromArgv0("Umbravia/../Umbravia/Umbravia.exe").str(),
              "C:\\Program Files\\Umbravia\\Umbravia.exe");
    fs::current_path(start);
    EXPECT_EQ(platform::programFolder(), testsupport::selfPath().parent_path());

    std::string program = "/opt/x/Umbravia.exe";
    std::string tray = "+Tray";
    std::string spaced = "two words";
    char* argv[] = {program.data(), tray.data(), spaced.data(), nullptr};
    SetProcessArguments(3, argv);
    EXPECT_STREQ(GetCommandLine(), "\"Z:\\opt\\x\\Umbravia.exe\" +Tray \"two words\"");
    char buffer[MAX_PATH];
    const std::string expected = "Z:\\opt\\x\\Umbravia.exe";
    EXPECT_EQ(GetModuleFileName(nullptr, buffer, sizeof buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
