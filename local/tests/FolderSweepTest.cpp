// The folder sweep: contents go, the folder and (unless asked) "desktop.ini" stay, links
// are removed as links, "index.dat" is wiped from offset 64 before it is deleted.

#include "FolderSweeper.h"
#include "LocalTestSupport.h"

#include <platform/Files.h>

#include <TestSupport.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using localtest::CountingNotifier;
using localtest::tree;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class FolderSweepTest : public testsupport::PrefixTest {
protected:
    // A folder on drive C: with its DOS and host paths.
    fs::path hostFolder() const { return m_prefix.driveC() / "Sweep Me"; }
    std::string dosFolder() const { return "C:\\Sweep Me"; }

    CountingNotifier m_notifier;
    local::FolderSweeper m_sweeper{m_notifier};
};

TEST_F(FolderSweepTest, RemovesContentsAndKeepsTheFolder)
{
    writeFile(hostFolder() / "a.txt", "a");
    writeFile(hostFolder() / "sub" / "b.txt", "b");
    writeFile(hostFolder() / "sub" / "deeper" / "c.txt", "c");
    fs::create_directories(hostFolder() / "empty");

    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {}));
    EXPECT_TRUE(fs::is_directory(hostFolder()));
    EXPECT_TRUE(tree(hostFolder()).empty());
    // One notification per folder listed: the folder, sub, sub\deeper and empty.
    EXPECT_EQ(m_notifier.count, 4);
}

TEST_F(FolderSweepTest, TrailingSeparatorIsNotDoubled)
{
    writeFile(hostFolder() / "a.txt", "a");
    EXPECT_TRUE(m_sweeper.sweep(dosFolder() + "\\", {}));
    EXPECT_TRUE(tree(hostFolder()).empty());
    EXPECT_EQ(local::joinPath("C:\\x\\", "y"), "C:\\x\\y");
    EXPECT_EQ(local::joinPath("C:\\x", "y"), "C:\\x\\y");
}

TEST_F(FolderSweepTest, MissingFolderFailsWithoutNotification)
{
    EXPECT_FALSE(m_sweeper.sweep("C:\\No Such Folder", {}));
    EXPECT_EQ(m_notifier.count, 0);
}

TEST_F(FolderSweepTest, DesktopIniIsKeptAtEveryDepthUnlessIncluded)
{
    writeFile(hostFolder() / "DESKTOP.INI", "[.ShellClassInfo]");
    writeFile(hostFolder() / "sub" / "desktop.ini", "[.ShellClassInfo]");
    writeFile(hostFolder() / "sub" / "x.txt", "x");
    writeFile(hostFolder() / "other" / "y.txt", "y");

    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {}));
    // "sub" cannot go while its desktop.ini stays.
    EXPECT_EQ(tree(hostFolder()),
              (std::vector<std::string>{"DESKTOP.INI", "sub", "sub/desktop.ini"}));

    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {true, false}));
    EXPECT_TRUE(tree(hostFolder()).empty());
}

TEST_F(FolderSweepTest, ReadOnlyEntriesAreRemoved)
{
    writeFile(hostFolder() / "ro.txt", "r");
    writeFile(hostFolder() / "rodir" / "f", "f");
    ASSERT_TRUE(SetFileAttributes((dosFolder() + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributes((dosFolder() + "\\rodir").c_str(),
                                  FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {}));
    EXPECT_TRUE(tree(hostFolder()).empty());
}

TEST_F(FolderSweepTest, LinksAreRemovedAsLinksAndNothingOutsideIsTouched)
{
    testsupport::TempDir outside;
    writeFile(outside.path() / "keep.txt", "precious");
    writeFile(outside.path() / "folder" / "inner.txt", "inner");
    fs::create_directories(hostFolder() / "sub");
    fs::create_directory_symlink(outside.path() / "folder", hostFolder() / "folderlink");
    fs::create_symlink(outside.path() / "keep.txt", hostFolder() / "sub" / "filelink");
    fs::create_symlink(outside.path() / "gone", hostFolder() / "dangling");

    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {true, true}));

    EXPECT_TRUE(tree(hostFolder()).empty());
    EXPECT_EQ(readFile(outside.path() / "keep.txt"), "precious");
    EXPECT_EQ(readFile(outside.path() / "folder" / "inner.txt"), "inner");
}

TEST_F(FolderSweepTest, AFolderThatIsALinkIsNotSwept)
{
    fs::create_directories(m_prefix.driveC() / "real");
    writeFile(m_prefix.driveC() / "real" / "keep.txt", "k");
    fs::create_directory_symlink(m_prefix.driveC() / "real", hostFolder());
    EXPECT_FALSE(m_sweeper.sweep(dosFolder(), {}));
    EXPECT_EQ(readFile(m_prefix.driveC() / "real" / "keep.txt"), "k");
}

// A second name for the file shows what the wipe wrote before the delete.
std::string sweptIndexDat(const fs::path& folder, local::FolderSweeper& sweeper,
                          const std::string& dosFolder, const std::string& bytes, bool wipe)
{
    testsupport::TempDir keep;
    writeFile(folder / "index.dat", bytes);
    fs::create_hard_link(folder / "index.dat", keep.path() / "witness");
    EXPECT_TRUE(sweeper.sweep(dosFolder, {false, wipe}));
    EXPECT_FALSE(fs::exists(folder / "index.dat"));
    return readFile(keep.path() / "witness");
}

TEST_F(FolderSweepTest, IndexDatKeepsItsFirst64BytesAndIsZeroedAfter)
{
    const std::string hundred(100, 'x');
    const std::string wiped = sweptIndexDat(hostFolder(), m_sweeper, dosFolder(), hundred, true);
    EXPECT_EQ(wiped, std::string(64, 'x') + std::string(36, '\0'));

    // Several 10,000-byte blocks and a shorter last one; the size does not change.
    const std::string big(25000, 'y');
    const std::string bigWiped = sweptIndexDat(hostFolder(), m_sweeper, dosFolder(), big, true);
    EXPECT_EQ(bigWiped, std::string(64, 'y') + std::string(25000 - 64, '\0'));

    EXPECT_EQ(sweptIndexDat(hostFolder(), m_sweeper, dosFolder(), std::string(64, 'z'), true),
              std::string(64, 'z'));
    EXPECT_EQ(sweptIndexDat(hostFolder(), m_sweeper, dosFolder(), hundred, false), hundred);
}

TEST_F(FolderSweepTest, IndexDatIsWipedInNestedFoldersWhateverItsCase)
{
    testsupport::TempDir keep;
    writeFile(hostFolder() / "History.IE5" / "INDEX.DAT", std::string(70, 'q'));
    fs::create_hard_link(hostFolder() / "History.IE5" / "INDEX.DAT", keep.path() / "witness");
    EXPECT_TRUE(m_sweeper.sweep(dosFolder(), {false, true}));
    EXPECT_EQ(readFile(keep.path() / "witness"), std::string(64, 'q') + std::string(6, '\0'));
    EXPECT_TRUE(tree(hostFolder()).empty());
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
