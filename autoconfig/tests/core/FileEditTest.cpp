// The shared file-editing pieces: the text editor's rules and the replacement that never
// loses the target.

#include "RigwrightFixture.h"

#include <core/FileEdit.h>
#include <core/IniText.h>
#include <sys/stat.h>

namespace {

using namespace rigtest;
using rigwright::IniText;

TEST(IniTextTest, ReplaceAllNeverRescansWhatItInserted)
{
    IniText text("a=1\ra=1\r");
    EXPECT_EQ(text.replaceAll("a=1", "a=1\n"), 2u);
    EXPECT_EQ(text.text(), "a=1\n\ra=1\n\r");
    EXPECT_EQ(text.replaceAll("", "x"), 0u);
    EXPECT_EQ(text.text(), "a=1\n\ra=1\n\r");
}

TEST(IniTextTest, EntryRunsToTheCarriageReturnOrTheEnd)
{
    IniText text("x=1\nport=5\r\nport=6");
    EXPECT_EQ(text.entry("port="), "port=5");
    EXPECT_EQ(text.entry("port=", 10), "port=6");
    EXPECT_EQ(text.entry("x="), "x=1\nport=5"); // only a CR ends an entry
    EXPECT_FALSE(text.entry("y="));
    EXPECT_FALSE(text.entry("x=", 100));
}

TEST(IniTextTest, RemoveSectionTakesEveryCopyUpToTheNextBracket)
{
    IniText text("[S]\r\na=1\r\n[T]\r\n[S]\r\na=1\r\n");
    EXPECT_TRUE(text.removeSection("[S]"));
    EXPECT_EQ(text.text(), "[T]\r\n");
    EXPECT_FALSE(text.removeSection("[S]"));
}

TEST(IniTextTest, OnlyBareLineFeedsGetACarriageReturn)
{
    EXPECT_EQ(rigwright::withCrLf("a\nb\r\nc\n\n"), "a\r\nb\r\nc\r\n\r\n");
    EXPECT_EQ(rigwright::withCrLf(""), "");
}

class FileEditTest : public RigwrightTest {};

TEST_F(FileEditTest, ReplacementRenamesOverTheTargetAndLeavesNoTemporaryFile)
{
    writeDos("C:\\cfg\\a.ini", "old");
    auto replacement = rigwright::ReplacementFile::create("C:\\cfg\\a.bak");
    ASSERT_TRUE(replacement.ok());
    ASSERT_TRUE(replacement->commit("new", "C:\\cfg\\a.ini").ok());
    EXPECT_EQ(readDos("C:\\cfg\\a.ini"), "new");
    EXPECT_FALSE(existsDos("C:\\cfg\\a.bak"));
}

TEST_F(FileEditTest, AFailedRenameLeavesTheTargetAndKeepsTheEditInTheTemporaryFile)
{
    writeDos("C:\\cfg\\a.ini", "old");
    // A read-only target refuses to be replaced.
    fs::permissions(host("C:\\cfg\\a.ini"), fs::perms::owner_read);
    auto replacement = rigwright::ReplacementFile::create("C:\\cfg\\a.bak");
    ASSERT_TRUE(replacement.ok());
    auto done = replacement->commit("edited", "C:\\cfg\\a.ini");
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().message,
              "The file C:\\cfg\\a.ini could not be used: access was denied (the file may be "
              "read-only or a folder).");
    EXPECT_EQ(readDos("C:\\cfg\\a.ini"), "old");
    EXPECT_EQ(readDos("C:\\cfg\\a.bak"), "edited");
}

TEST_F(FileEditTest, EditFileReportsTheTemporaryFileAndLeavesTheTarget)
{
    writeDos("C:\\cfg\\a.ini", "old");
    fs::create_directories(host("C:\\cfg\\a.bak")); // a folder where the temporary goes
    auto done = rigwright::editFile("C:\\cfg\\a.ini", "C:\\cfg\\a.bak",
                                    [](std::string) { return std::string("new"); });
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().message.rfind("The file C:\\cfg\\a.bak could not be used: ", 0), 0u);
    EXPECT_EQ(readDos("C:\\cfg\\a.ini"), "old");
}

TEST_F(FileEditTest, FileErrorTextNamesFileAndCauseWithinItsBound)
{
    EXPECT_EQ(rigwright::fileErrorText("C:\\x.ini", ERROR_FILE_NOT_FOUND),
              "The file C:\\x.ini could not be used: the file does not exist.");
    EXPECT_EQ(rigwright::fileErrorText("C:\\x.ini", 1234),
              "The file C:\\x.ini could not be used: system error 1234.");
    EXPECT_EQ(rigwright::fileErrorText(std::string(2000, 'a'), ERROR_FILE_NOT_FOUND).size(), 1024u);
    auto missing = rigwright::readForEdit("C:\\nowhere.ini");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message,
              "The file C:\\nowhere.ini could not be used: the file does not exist.");
}

} // namespace
