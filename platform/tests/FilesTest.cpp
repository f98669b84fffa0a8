// File operations over DOS paths: listings with attributes and wildcards, delete, copy,
// move, folders, raw file handles and whole-file reads and writes.

#include <platform/Files.h>

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

class FilesTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_dir = m_prefix.driveC() / "Work";
        fs::create_directories(m_dir);
    }

    // name -> attributes of every entry a search returns, in order.
    std::vector<std::pair<std::string, DWORD>> find(const std::string& pattern)
    {
        std::vector<std::pair<std::string, DWORD>> found;
        WIN32_FIND_DATA data;
        HANDLE search = FindFirstFile(pattern.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            m_findError = GetLastError();
            return found;
        }
        do {
            found.emplace_back(data.cFileName, data.dwFileAttributes);
        } while (FindNextFile(search, &data));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(search));
        return found;
    }
    std::vector<std::string> names(const std::string& pattern)
    {
        std::vector<std::string> out;
        for (const auto& [name, attributes] : find(pattern)) {
            out.push_back(name);
        }
        return out;
    }

    fs::path m_dir;
    DWORD m_findError = ERROR_SUCCESS;
};

using Names = std::vector<std::string>;

TEST_F(FilesTest, ListingsReportDotEntriesAttributesAndLinks)
{
    testsupport::writeFile(m_dir / "b.txt", "12345");
    testsupport::writeFile(m_dir / "A.log", "");
    testsupport::writeFile(m_dir / ".hidden", "");
    testsupport::writeFile(m_dir / "locked.dat", "");
    fs::permissions(m_dir / "locked.dat", fs::perms::owner_write, fs::perm_options::remove);
    fs::create_directory(m_dir / "Sub");
    fs::create_directory_symlink(m_dir / "Sub", m_dir / "link");

    std::map<std::string, DWORD> attributes;
    std::vector<std::string> order;
    for (const auto& [name, attr] : find("C:\\work\\*.*")) {
        attributes[name] = attr;
        order.push_back(name);
    }
    EXPECT_EQ(order, (Names{".", "..", ".hidden", "A.log", "b.txt", "link", "locked.dat", "Sub"}));
    EXPECT_EQ(attributes["."], FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(attributes[".."], FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(attributes[".hidden"], FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(attributes["b.txt"], FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(attributes["locked.dat"], FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attributes["Sub"], FILE_ATTRIBUTE_DIRECTORY);
    // A link is a reparse point, never a folder to walk into.
    EXPECT_EQ(attributes["link"], FILE_ATTRIBUTE_REPARSE_POINT);

    WIN32_FIND_DATA data;
    HANDLE search = FindFirstFile("C:\\WORK\\B.TXT", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "b.txt");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_FALSE(FindNextFile(search, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search)); // closed twice
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, WildcardsMatchWithoutRegardToCase)
{
    for (const char* name :
         {"index.dat", "INDEX.DAT.bak", "desktop.ini", "readme", "a1.txt", "a22.txt"}) {
        testsupport::writeFile(m_dir / name, "");
    }
    EXPECT_EQ(names("C:\\Work\\*.dat"), (Names{"index.dat"}));
    EXPECT_EQ(names("C:\\Work\\index.*"), (Names{"index.dat", "INDEX.DAT.bak"}));
    EXPECT_EQ(names("C:\\Work\\a?.TXT"), (Names{"a1.txt"}));
    EXPECT_EQ(names("C:\\Work\\*."), (Names{".", "..", "readme"}));
    EXPECT_EQ(names("C:\\Work\\*").size(), 8u);
    // The root of a drive has no dot entries.
    for (const std::string& name : names("C:\\*.*")) {
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
    EXPECT_TRUE(names("C:\\Work\\*.none").empty());
    EXPECT_EQ(m_findError, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(names("C:\\Missing\\*.*").empty());
    EXPECT_EQ(m_findError, DWORD(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, AttributesReadOnlyAndDelete)
{
    testsupport::writeFile(m_dir / "f.txt", "x");
    EXPECT_EQ(GetFileAttributes("C:\\Work\\F.TXT"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributes("C:\\Work"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes("C:\\Work\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributes("C:\\None\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    ASSERT_TRUE(SetFileAttributes("C:\\Work\\f.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes("C:\\Work\\f.txt"),
              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(fs::status(m_dir / "f.txt").permissions() & fs::perms::owner_write, fs::perms::none);
    // As on Windows, a read-only file is not deleted until the attribute is cleared.
    EXPECT_FALSE(DeleteFile("C:\\Work\\f.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributes("C:\\Work\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFile("C:\\Work\\f.txt"));
    EXPECT_FALSE(fs::exists(m_dir / "f.txt"));
    EXPECT_FALSE(DeleteFile("C:\\Work\\f.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFile("C:\\Work"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, LinksAreRemovedAsLinks)
{
    fs::create_directory(m_dir / "Target");
    testsupport::writeFile(m_dir / "Target" / "keep.txt", "keep");
    fs::create_directory_symlink(m_dir / "Target", m_dir / "dirlink");
    fs::create_symlink(m_dir / "Target" / "keep.txt", m_dir / "filelink");
    fs::create_symlink(m_dir / "nowhere", m_dir / "dangling");

    EXPECT_EQ(GetFileAttributes("C:\\Work\\dirlink"), FILE_ATTRIBUTE_REPARSE_POINT);
    // Attributes set on a link leave its target alone.
    EXPECT_TRUE(SetFileAttributes("C:\\Work\\filelink", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes("C:\\Work\\Target\\keep.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(DeleteFile("C:\\Work\\dirlink"));
    EXPECT_TRUE(RemoveDirectory("C:\\Work\\filelink"));
    EXPECT_TRUE(DeleteFile("C:\\Work\\dangling"));
    EXPECT_EQ(testsupport::readFile(m_dir / "Target" / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / "dirlink")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / "filelink")));
}

TEST_F(FilesTest, FoldersAreCreatedAndRemovedWhenEmpty)
{
    EXPECT_TRUE(CreateDirectory("C:\\Work\\New", nullptr));
    EXPECT_TRUE(fs::is_directory(m_dir / "New"));
    EXPECT_FALSE(CreateDirectory("C:\\work\\NEW", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectory("C:\\Work\\Missing\\New", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    testsupport::writeFile(m_dir / "New" / "f", "");
    EXPECT_FALSE(RemoveDirectory("C:\\Work\\New"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectory("C:\\Work\\New\\f"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_TRUE(DeleteFile("C:\\Work\\New\\f"));
    EXPECT_TRUE(RemoveDirectory("C:\\Work\\new"));
    EXPECT_FALSE(fs::exists(m_dir / "New"));
    EXPECT_FALSE(RemoveDirectory("C:\\Work\\New"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, CopyAndMoveReplaceOnlyWhenAllowed)
{
    testsupport::writeFile(m_dir / "a.txt", "alpha");
    testsupport::writeFile(m_dir / "b.txt", "beta");
    EXPECT_FALSE(CopyFile("C:\\Work\\a.txt", "C:\\Work\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(testsupport::readFile(m_dir / "b.txt"), "beta");
    EXPECT_TRUE(CopyFile("C:\\Work\\A.TXT", "C:\\Work\\b.txt", FALSE));
    EXPECT_EQ(testsupport::readFile(m_dir / "b.txt"), "alpha");
    EXPECT_TRUE(CopyFile("C:\\Work\\a.txt", "C:\\Work\\c.txt", TRUE));
    EXPECT_EQ(testsupport::readFile(m_dir / "c.txt"), "alpha");
    EXPECT_FALSE(CopyFile("C:\\Work\\none.txt", "C:\\Work\\d.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFile("C:\\Work\\a.txt", "C:\\Nowhere\\d.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    testsupport::writeFile(m_dir / "new.txt", "new");
    EXPECT_FALSE(MoveFileEx("C:\\Work\\new.txt", "C:\\Work\\a.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(testsupport::readFile(m_dir / "a.txt"), "alpha");
    struct stat before {};
    ASSERT_EQ(::stat((m_dir / "new.txt").c_str(), &before), 0);
    EXPECT_TRUE(MoveFileEx("C:\\Work\\new.txt", "C:\\Work\\a.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(testsupport::readFile(m_dir / "a.txt"), "new");
    struct stat after {};
    ASSERT_EQ(::stat((m_dir / "a.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // renamed in place, not copied
    EXPECT_FALSE(fs::exists(m_dir / "new.txt"));
    EXPECT_TRUE(MoveFileEx("C:\\Work\\a.txt", "C:\\Work\\moved.txt", 0));
    EXPECT_EQ(testsupport::readFile(m_dir / "moved.txt"), "new");
    // Changing only the case of a name renames the file.
    EXPECT_TRUE(MoveFileEx("C:\\Work\\moved.txt", "C:\\Work\\Moved.TXT", 0));
    EXPECT_TRUE(fs::exists(m_dir / "Moved.TXT"));
    EXPECT_FALSE(fs::exists(m_dir / "moved.txt"));
    EXPECT_FALSE(MoveFileEx("C:\\Work\\gone.txt", "C:\\Work\\x.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, FileHandlesReadWriteSeekAndSize)
{
    HANDLE file = CreateFile("C:\\Work\\index.dat", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "456789");
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u); // end of file is no error
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7u);
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    EXPECT_EQ(CreateFile("C:\\Work\\index.dat", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(CreateFile("C:\\Work\\none", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFile("C:\\Work", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    file = CreateFile("C:\\Work\\INDEX.DAT", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    // Opened for writing only: reading is refused.
    EXPECT_FALSE(ReadFile(file, buffer, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(file));

    SetFileAttributes("C:\\Work\\index.dat", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(
        CreateFile("C:\\Work\\index.dat", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(testsupport::readFile(m_dir / "index.dat"), "0123456789");
}

// What a folder sweep does with these calls: list "\*.*", clear read-only, walk into
// folders, delete files and emptied folders, overwrite "index.dat" first. A link to a
// folder elsewhere is removed as a link; nothing behind it is touched.
void sweep(const std::string& folder)
{
    WIN32_FIND_DATA data;
    HANDLE search = FindFirstFile((folder + "\\*.*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << folder;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        std::string path = folder + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributes(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            sweep(path);
            EXPECT_TRUE(RemoveDirectory(path.c_str())) << path;
            continue;
        }
        if (name == "index.dat") {
            HANDLE file =
                CreateFile(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD size = GetFileSize(file, nullptr);
            ASSERT_EQ(SetFilePointer(file, 64, nullptr, FILE_BEGIN), 64u);
            std::string zeros(size - 64, '\0');
            DWORD written = 0;
            EXPECT_TRUE(WriteFile(file, zeros.data(), DWORD(zeros.size()), &written, nullptr));
            EXPECT_TRUE(CloseHandle(file));
            // Kept aside to look at: what the delete would have left behind.
            EXPECT_TRUE(CopyFile(path.c_str(), "C:\\Work\\index.seen", TRUE));
        }
        EXPECT_TRUE(DeleteFile(path.c_str())) << path;
    } while (FindNextFile(search, &data));
    EXPECT_TRUE(FindClose(search));
}

TEST_F(FilesTest, ASweepEmptiesTheFolderAndNeverReachesThroughALink)
{
    testsupport::TempDir outside;
    testsupport::writeFile(outside.path() / "precious.txt", "keep me");
    fs::create_directories(m_prefix.driveC() / "Kept");
    testsupport::writeFile(m_prefix.driveC() / "Kept" / "also.txt", "keep me too");

    fs::path history = m_dir / "History";
    testsupport::writeFile(history / "a.txt", "a");
    testsupport::writeFile(history / "Deep" / "Deeper" / "b.txt", "b");
    testsupport::writeFile(history / "Deep" / "index.dat", std::string(100, 'x'));
    testsupport::writeFile(history / "locked.txt", "c");
    fs::permissions(history / "locked.txt", fs::perms::owner_write, fs::perm_options::remove);
    fs::create_directory_symlink(outside.path(), history / "to outside");
    fs::create_directory_symlink(m_prefix.driveC() / "Kept", history / "to kept");
    fs::create_symlink(outside.path() / "precious.txt", history / "file link");

    sweep("C:\\Work\\History");

    EXPECT_TRUE(fs::is_directory(history));
    EXPECT_TRUE(fs::is_empty(history)) << fs::directory_iterator(history)->path();
    EXPECT_EQ(testsupport::readFile(outside.path() / "precious.txt"), "keep me");
    EXPECT_EQ(testsupport::readFile(m_prefix.driveC() / "Kept" / "also.txt"), "keep me too");
    // The copy taken before the delete shows the first 64 bytes kept, the rest zeroed.
    EXPECT_EQ(testsupport::readFile(m_dir / "index.seen"),
              std::string(64, 'x') + std::string(36, '\0'));
}

TEST_F(FilesTest, WholeFilesAreReplacedInOneStep)
{
    platform::DosPath path("C:\\Work\\data.bin");
    std::string bytes("a\0b\r\nc", 6);
    ASSERT_TRUE(platform::writeWholeFile(path, bytes).ok());
    EXPECT_EQ(testsupport::readFile(m_dir / "data.bin"), bytes);
    EXPECT_EQ(platform::readWholeFile(platform::DosPath("c:\\work\\DATA.BIN")).value(), bytes);
    ASSERT_TRUE(platform::writeWholeFile(path, "second").ok());
    EXPECT_EQ(platform::readWholeFile(path).value(), "second");
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);

    platform::Result<std::string> missing =
        platform::readWholeFile(platform::DosPath("C:\\Work\\no"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ERROR_FILE_NOT_FOUND);
    platform::Result<void> nowhere =
        platform::writeWholeFile(platform::DosPath("C:\\Nowhere\\x"), "x");
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error().code, ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, HostFilesAreReplacedInOneStepWithTheirMode)
{
    const fs::path file = m_dir / "settings.conf";
    ASSERT_TRUE(platform::replaceHostFile(file, "first\n", 0600).ok());
    EXPECT_EQ(testsupport::readFile(file), "first\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_TRUE(platform::replaceHostFile(file, "second", 0640).ok());
    EXPECT_EQ(testsupport::readFile(file), "second");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);

    // A link in the file's place is replaced itself; what it led to stays.
    const fs::path other = m_dir / "other";
    testsupport::writeFile(other, "kept");
    const fs::path link = m_dir / "link";
    fs::create_symlink(other, link);
    ASSERT_TRUE(platform::replaceHostFile(link, "new", 0644).ok());
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(testsupport::readFile(other), "kept");

    platform::Result<void> nowhere = platform::replaceHostFile(m_dir / "no" / "x", "x", 0644);
    ASSERT_FALSE(nowhere.ok());
    EXPECT_NE(nowhere.error().message.find((m_dir / "no" / "x").string()), std::string::npos);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
