// DOS paths: drive mapping, case-insensitive resolution, "..", the current directory and
// symbolic links that would lead out of drive C:.

#include <platform/Environment.h>
#include <platform/Files.h>

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class PathsTest : public testsupport::PrefixTest {
protected:
    void SetUp() override { m_startDir = fs::current_path(); }
    void TearDown() override { fs::current_path(m_startDir); }

    fs::path host(const std::string& dos)
    {
        platform::Result<platform::HostPath> result = platform::toHostPath(dos);
        EXPECT_TRUE(result.ok()) << dos << ": " << (result.ok() ? "" : result.error().message);
        return result.ok() ? *result : fs::path();
    }
    LONG failure(const std::string& dos)
    {
        platform::Result<platform::HostPath> result = platform::toHostPath(dos);
        EXPECT_FALSE(result.ok()) << dos << " resolved to " << (result.ok() ? *result : "");
        return result.ok() ? ERROR_SUCCESS : result.error().code;
    }

    fs::path m_startDir;
};

TEST_F(PathsTest, DrivesMapToThePrefixAndTheRoot)
{
    const fs::path c = m_prefix.driveC();
    EXPECT_EQ(host("C:\\"), c);
    EXPECT_EQ(host("c:\\WINDOWS"), c / "WINDOWS");
    EXPECT_EQ(host("C:/WINDOWS/system32"), c / "WINDOWS" / "system32");
    EXPECT_EQ(host("C:\\WINDOWS/system32\\"), c / "WINDOWS" / "system32");
    EXPECT_EQ(host("Z:\\usr\\bin"), fs::path("/usr/bin"));
    EXPECT_EQ(host("z:/"), fs::path("/"));
    EXPECT_EQ(failure("D:\\data"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(failure("\\\\server\\share\\x"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(failure(""), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(failure("C:\\bad|name"), ERROR_INVALID_NAME);
    EXPECT_EQ(failure("C:\\a*b\\c"), ERROR_INVALID_NAME);
}

TEST_F(PathsTest, ComponentsMatchWithoutRegardToCaseAndMissingOnesStayAsWritten)
{
    const fs::path c = m_prefix.driveC();
    testsupport::writeFile(c / "Program Files" / "Umbravia" / "Local.dll", "x");
    EXPECT_EQ(host("C:\\windows\\SYSTEM32"), c / "WINDOWS" / "system32");
    EXPECT_EQ(host("C:\\PROGRAM FILES\\umbravia\\local.dll"),
              c / "Program Files" / "Umbravia" / "Local.dll");
    EXPECT_EQ(host("C:\\program files\\New Folder\\Sub\\File.TXT"),
              c / "Program Files" / "New Folder" / "Sub" / "File.TXT");
    // An exact match wins over a match in another case.
    testsupport::writeFile(c / "Program Files" / "Umbravia" / "local.dll", "y");
    EXPECT_EQ(host("C:\\Program Files\\Umbravia\\local.dll"),
              c / "Program Files" / "Umbravia" / "local.dll");
}

TEST_F(PathsTest, DotsNeverLeaveTheDrive)
{
    const fs::path c = m_prefix.driveC();
    EXPECT_EQ(host("C:\\WINDOWS\\.\\system32\\..\\Temp"), c / "WINDOWS" / "Temp");
    EXPECT_EQ(host("C:\\..\\..\\..\\etc\\passwd"), c / "etc" / "passwd");
    EXPECT_EQ(host("C:\\WINDOWS\\..\\..\\registry.db"), c / "registry.db");
    EXPECT_EQ(host("Z:\\..\\tmp"), fs::path("/tmp"));
}

TEST_F(PathsTest, HostPathsConvertBack)
{
    const fs::path c = m_prefix.driveC();
    EXPECT_EQ(platform::toDosPath(c).str(), "C:\\");
    EXPECT_EQ(platform::toDosPath(c / "WINDOWS" / "system32").str(), "C:\\WINDOWS\\system32");
    EXPECT_EQ(platform::toDosPath(c / "WINDOWS" / "system32" / "").str(), "C:\\WINDOWS\\system32");
    EXPECT_EQ(platform::toDosPath("/opt/x/Umbravia.exe").str(), "Z:\\opt\\x\\Umbravia.exe");
    EXPECT_EQ(platform::toDosPath("/").str(), "Z:\\");
    // The prefix itself lies outside drive C: and is reached through Z: only.
    std::string expected = "Z:" + (m_prefix.path() / "registry.db").string();
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(platform::toDosPath(m_prefix.path() / "registry.db").str(), expected);
}

TEST_F(PathsTest, RelativePathsFollowTheCurrentDirectory)
{
    const fs::path c = m_prefix.driveC();
    ASSERT_TRUE(SetCurrentDirectory("C:\\windows\\system32"));
    char buffer[MAX_PATH];
    DWORD length = GetCurrentDirectory(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer), "C:\\WINDOWS\\system32");
    EXPECT_EQ(length, std::string(buffer).size());
    EXPECT_EQ(fs::current_path(), c / "WINDOWS" / "system32");

    EXPECT_EQ(host("drivers\\etc\\hosts"),
              c / "WINDOWS" / "system32" / "drivers" / "etc" / "hosts");
    EXPECT_EQ(host("..\\Temp"), c / "WINDOWS" / "Temp");
    EXPECT_EQ(host("\\Program Files"), c / "Program Files");
    EXPECT_EQ(host("C:x.dll"), c / "WINDOWS" / "system32" / "x.dll");
    EXPECT_EQ(host("Z:tmp"), fs::path("/tmp")); // another drive: from its root

    // Too small a buffer: the size needed, with the terminating zero.
    char tiny[4];
    EXPECT_EQ(GetCurrentDirectory(sizeof tiny, tiny), length + 1);

    EXPECT_FALSE(SetCurrentDirectory("C:\\no such folder"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    testsupport::writeFile(c / "file.txt", "x");
    EXPECT_FALSE(SetCurrentDirectory("C:\\file.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_EQ(fs::current_path(), c / "WINDOWS" / "system32");
}

TEST_F(PathsTest, LinksInsideDriveCAreFollowedOnlyWhileTheyStayInside)
{
    const fs::path c = m_prefix.driveC();
    testsupport::TempDir outside;
    testsupport::writeFile(outside.path() / "secret.txt", "secret");
    testsupport::writeFile(c / "WINDOWS" / "inside.txt", "inside");
    fs::create_directory_symlink(outside.path(), c / "escape");
    fs::create_symlink(outside.path() / "secret.txt", c / "secret.lnk");
    fs::create_directory_symlink("../WINDOWS", c / "Program Files" / "win");
    fs::create_directory_symlink("../..", c / "WINDOWS" / "up");

    // A link that stays inside drive C: is followed.
    EXPECT_EQ(host("C:\\Program Files\\WIN\\inside.txt"),
              c / "Program Files" / "win" / "inside.txt");
    // Links that lead out are refused, as a folder on the way and as the file itself.
    EXPECT_EQ(failure("C:\\escape\\secret.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(failure("C:\\secret.lnk"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(failure("C:\\WINDOWS\\up\\registry.db"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(platform::readWholeFile(platform::DosPath("C:\\escape\\secret.txt")).ok());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFile("C:\\secret.lnk", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    WIN32_FIND_DATA data;
    EXPECT_EQ(FindFirstFile("C:\\escape\\*.*", &data), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetCurrentDirectory("C:\\escape"));

    // The link itself can still be looked at and removed, and its target stays.
    EXPECT_EQ(GetFileAttributes("C:\\secret.lnk"), FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_TRUE(DeleteFile("C:\\secret.lnk"));
    EXPECT_TRUE(RemoveDirectory("C:\\escape"));
    EXPECT_EQ(testsupport::readFile(outside.path() / "secret.txt"), "secret");
    EXPECT_FALSE(fs::exists(fs::symlink_status(c / "escape")));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
