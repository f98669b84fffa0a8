// SHEmptyRecycleBin over the freedesktop.org trash: home trash, volume trashes, links.

#include <platform/Shell.h>

#include <TestSupport.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

constexpr HRESULT kOk = 0;
constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);

class RecycleBinTest : public testsupport::PrefixTest {
protected:
    fs::path homeTrash() const { return m_dirs.path() / "data" / "Trash"; }

    // A trashed file with its description, as a file manager leaves it.
    static void trash(const fs::path& trashDir, const std::string& name, const std::string& body)
    {
        writeFile(trashDir / "files" / name, body);
        writeFile(trashDir / "info" / (name + ".trashinfo"),
                  "[Trash Info]\nPath=/home/u/" + name + "\nDeletionDate=2026-01-01T10:00:00\n");
    }

    static bool emptyFolder(const fs::path& dir)
    {
        return fs::is_directory(dir) && fs::is_empty(dir);
    }

    testsupport::TempTrash m_dirs; // the trash and scratch folder of this test
};

TEST_F(RecycleBinTest, EmptiesTheHomeTrashWithNestedFolders)
{
    trash(homeTrash(), "letter.txt", "dear");
    trash(homeTrash(), "project", "");
    fs::remove(homeTrash() / "files" / "project");
    writeFile(homeTrash() / "files" / "project" / "src" / "main.c", "int main;");
    writeFile(homeTrash() / "files" / ".hidden", "h");
    writeFile(homeTrash() / "directorysizes", "4096 1700000000 project\n");

    EXPECT_EQ(
        SHEmptyRecycleBin(0, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND),
        kOk);

    EXPECT_TRUE(emptyFolder(homeTrash() / "files"));
    EXPECT_TRUE(emptyFolder(homeTrash() / "info"));
    EXPECT_FALSE(fs::exists(homeTrash() / "directorysizes"));
    EXPECT_TRUE(fs::is_directory(homeTrash())); // the trash itself stays
}

TEST_F(RecycleBinTest, MissingTrashIsAnEmptyTrash)
{
    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kOk);
    EXPECT_FALSE(fs::exists(homeTrash()));
}

TEST_F(RecycleBinTest, ReadOnlyTrashedFolderIsRemoved)
{
    writeFile(homeTrash() / "files" / "locked" / "inner" / "f", "x");
    fs::permissions(homeTrash() / "files" / "locked" / "inner",
                    fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(homeTrash() / "files" / "locked", fs::perms::none);

    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kOk);
    EXPECT_TRUE(emptyFolder(homeTrash() / "files"));
}

TEST_F(RecycleBinTest, LinksInTheTrashAreRemovedAsLinksOnly)
{
    const fs::path outside = m_dirs.path() / "outside";
    writeFile(outside / "keep.txt", "precious");
    fs::create_directories(homeTrash() / "files" / "dir");
    fs::create_directory_symlink(outside, homeTrash() / "files" / "folderlink");
    fs::create_symlink(outside / "keep.txt", homeTrash() / "files" / "dir" / "filelink");
    fs::create_symlink(m_dirs.path() / "nowhere", homeTrash() / "files" / "dangling");

    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kOk);

    EXPECT_TRUE(emptyFolder(homeTrash() / "files"));
    EXPECT_EQ(readFile(outside / "keep.txt"), "precious");
}

TEST_F(RecycleBinTest, TrashFoldersThatAreLinksAreLeftAlone)
{
    const fs::path elsewhere = m_dirs.path() / "elsewhere";
    writeFile(elsewhere / "files" / "keep.txt", "precious");
    fs::create_directories(m_dirs.path() / "data");
    fs::create_directory_symlink(elsewhere, homeTrash());
    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kFail);
    EXPECT_EQ(readFile(elsewhere / "files" / "keep.txt"), "precious");

    fs::remove(homeTrash());
    fs::create_directories(homeTrash());
    fs::create_directory_symlink(elsewhere / "files", homeTrash() / "files");
    trash(m_dirs.path() / "data" / "Trash", "info-only", "");
    fs::remove(elsewhere / "files" / "info-only");
    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kFail);
    EXPECT_EQ(readFile(elsewhere / "files" / "keep.txt"), "precious");
    EXPECT_TRUE(emptyFolder(homeTrash() / "info")); // the rest is still emptied
}

TEST_F(RecycleBinTest, VolumeTrashesFromTheMountTable)
{
    const std::string uid = std::to_string(::getuid());
    // "vol one" is written with the kernel's escape for the blank.
    const fs::path volume = m_dirs.path() / "vol one";
    const fs::path plain = m_dirs.path() / "vol2";
    writeFile(m_dirs.path() / "mounts", "/dev/sdb1 " + (m_dirs.path() / "vol\\040one").string() +
                                            " ext4 rw 0 0\n" + "/dev/sdc1 " + plain.string() +
                                            " ext4 rw 0 0\n" + "/dev/sdd1 " +
                                            (m_dirs.path() / "absent").string() + " ext4 rw 0 0\n");
    trash(volume / (".Trash-" + uid), "a.txt", "a");
    fs::create_directories(volume / ".Trash");
    fs::permissions(volume / ".Trash", fs::perms::all | fs::perms::sticky_bit);
    trash(volume / ".Trash" / uid, "b.txt", "b");
    // A shared .Trash without the sticky bit must not be used.
    trash(plain / ".Trash" / uid, "c.txt", "c");

    const std::vector<fs::path> folders = platform::trashFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], homeTrash());
    EXPECT_EQ(folders[1], volume / ".Trash" / uid);
    EXPECT_EQ(folders[2], volume / (".Trash-" + uid));

    EXPECT_EQ(SHEmptyRecycleBin(0, nullptr, 7), kOk);
    EXPECT_TRUE(emptyFolder(volume / (".Trash-" + uid) / "files"));
    EXPECT_TRUE(emptyFolder(volume / ".Trash" / uid / "files"));
    EXPECT_EQ(readFile(plain / ".Trash" / uid / "files" / "c.txt"), "c");
}

TEST_F(RecycleBinTest, RootPathChoosesTheVolume)
{
    trash(homeTrash(), "a.txt", "a");
    // A drive that does not exist: nothing is touched.
    EXPECT_EQ(SHEmptyRecycleBin(0, "Q:\\", 7), kFail);
    EXPECT_EQ(readFile(homeTrash() / "files" / "a.txt"), "a");
    // The volume of the trash itself.
    EXPECT_EQ(SHEmptyRecycleBin(0, ("Z:" + m_dirs.path().string()).c_str(), 7), kOk);
    EXPECT_TRUE(emptyFolder(homeTrash() / "files"));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
