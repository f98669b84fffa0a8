// Text mode: every LF reaches the disk as CR LF, a CR LF passed in stays as it is.

#include <platform/Files.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

namespace {

using TextFileTest = testsupport::PrefixTest;

TEST_F(TextFileTest, LineEndsBecomeCrLfOnDisk)
{
    platform::DosPath path("C:\\WINDOWS\\Temp\\log.txt");
    platform::Result<platform::TextFile> file = platform::TextFile::open(path, "w");
    ASSERT_TRUE(file.ok()) << file.error().message;
    EXPECT_TRUE(file->write("one\ntwo\r\n"));
    EXPECT_TRUE(file->write("three\r"));
    EXPECT_TRUE(file->write("\nfour\n\n"));
    EXPECT_TRUE(file->printf("%s=%d\n", "PROXYPORT", 8080));
    EXPECT_TRUE(file->write(std::string_view("nul\0byte", 8)));
    EXPECT_TRUE(file->close().ok());
    EXPECT_FALSE(file->isOpen());
    const char expected[] = "one\r\ntwo\r\nthree\r\nfour\r\n\r\nPROXYPORT=8080\r\nnul\0byte";
    EXPECT_EQ(testsupport::readFile(m_prefix.driveC() / "WINDOWS" / "Temp" / "log.txt"),
              std::string(expected, sizeof expected - 1));
}

TEST_F(TextFileTest, AppendKeepsWhatIsThereAndFailuresAreReported)
{
    platform::DosPath path("C:\\append.txt");
    testsupport::writeFile(m_prefix.driveC() / "append.txt", "first\r\n");
    {
        platform::Result<platform::TextFile> file = platform::TextFile::open(path, "a");
        ASSERT_TRUE(file.ok());
        EXPECT_TRUE(file->write("second\n"));
        platform::TextFile moved = std::move(*file);
        EXPECT_TRUE(moved.isOpen());
        EXPECT_FALSE(file->isOpen());
        EXPECT_TRUE(moved.write("third\n"));
        // Closed by the destructor.
    }
    EXPECT_EQ(testsupport::readFile(m_prefix.driveC() / "append.txt"),
              "first\r\nsecond\r\nthird\r\n");

    platform::Result<platform::TextFile> nowhere =
        platform::TextFile::open(platform::DosPath("C:\\no folder\\x.txt"), "w");
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error().code, ERROR_PATH_NOT_FOUND);
    platform::TextFile closed;
    EXPECT_FALSE(closed.write("x"));
    EXPECT_FALSE(closed.close().ok());
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
