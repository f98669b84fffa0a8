// The autostart entry follows the Run value "Umbravia": written with the program's Linux
// path and +Tray while the value exists, removed when it goes. Desktop entries are
// quoted so that a desktop reads back the same command.

#include "DesktopTestSupport.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Registry.h>

#include <desktop/Autostart.h>
#include <desktop/DesktopEntry.h>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using desktop::Outcome;

class AutostartTest : public desktoptest::DesktopTest {
protected:
    void setRunValue(const std::string& command)
    {
        const settings::Key run = settings::Key::create(HKEY_CURRENT_USER, desktop::RunKey);
        // As the general page writes it.
        ASSERT_EQ(run.writeStringNoZero(desktop::RunValue, command), ERROR_SUCCESS);
    }
    void deleteRunValue()
    {
        const settings::Key run =
            settings::Key::open(HKEY_CURRENT_USER, desktop::RunKey, KEY_ALL_ACCESS);
        ASSERT_EQ(RegDeleteValue(run.get(), desktop::RunValue), ERROR_SUCCESS);
    }
    static std::optional<std::string> validatorVerdict(const fs::path& file)
    {
        testsupport::ProcessResult check =
            testsupport::runProcess({"desktop-file-validate", file.string()});
        if (check.exitCode == 127) {
            return std::nullopt;
        }
        return std::to_string(check.exitCode) + " " + check.out + check.err;
    }
};

TEST_F(AutostartTest, FollowsTheRunValue)
{
    const fs::path entry = config() / "autostart" / "umbravia.desktop";
    EXPECT_EQ(desktop::autostartEntryPath().string(), entry.string());
    // A program folder with a blank in its name, inside drive C: of the prefix.
    const fs::path program = m_prefix.driveC() / "Program Files" / "Umbravia" / "Umbravia.exe";
    write(program, "exe", 0755);
    setRunValue("C:\\Program Files\\Umbravia\\Umbravia.exe");

    ASSERT_EQ(desktop::mirrorAutostart().outcome, Outcome::Done);
    const std::string text = *contents(entry);
    EXPECT_EQ(text.substr(0, 29), "[Desktop Entry]\nType=Applicat");
    EXPECT_NE(text.find("\nExec=\"" + program.string() + "\" +Tray\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTryExec=" + program.string() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nName=Umbravia\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=umbravia\n"), std::string::npos);
    EXPECT_EQ(modeOf(entry), 0644u);
    if (std::optional<std::string> verdict = validatorVerdict(entry)) {
        EXPECT_EQ(*verdict, "0 ") << text;
    }

    // Mirroring again changes nothing; a quoted value with +Tray of its own gets no second one.
    ASSERT_EQ(desktop::mirrorAutostart().outcome, Outcome::Done);
    EXPECT_EQ(contents(entry), text);
    setRunValue("\"Z:" + program.string() + "\" +Tray");
    ASSERT_EQ(desktop::mirrorAutostart().outcome, Outcome::Done);
    EXPECT_NE(contents(entry)->find("\nExec=\"" + program.string() + "\" +Tray\n"),
              std::string::npos);

    deleteRunValue();
    ASSERT_EQ(desktop::mirrorAutostart().outcome, Outcome::Done);
    EXPECT_FALSE(fs::exists(entry));
    // Without the value and without the entry: still nothing to do.
    EXPECT_EQ(desktop::mirrorAutostart().outcome, Outcome::Done);
}

TEST_F(AutostartTest, ACommandLinuxCannotStartWritesNoEntry)
{
    setRunValue("Q:\\Umbravia\\Umbravia.exe");
    const desktop::Result result = desktop::mirrorAutostart();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_NE(result.message.find("Q:\\Umbravia\\Umbravia.exe"), std::string::npos)
        << result.message;
    EXPECT_FALSE(fs::exists(desktop::autostartEntryPath()));
}

TEST(DesktopEntryTest, ExecArgumentsAreQuotedAndEscapedAsTheFormatAsks)
{
    EXPECT_EQ(desktop::execArgument("/opt/umbravia/Umbravia.exe"), "/opt/umbravia/Umbravia.exe");
    EXPECT_EQ(desktop::execArgument("/opt/a b/x"), "\"/opt/a b/x\"");
    EXPECT_EQ(desktop::execArgument("100%"), "100%%");
    EXPECT_EQ(desktop::execArgument("a\"b$c`d\\e"), "\"a\\\"b\\$c\\`d\\\\e\"");
    EXPECT_EQ(desktop::execArgument(""), "\"\"");

    desktop::DesktopEntry entry;
    entry.name = "Umbravia";
    entry.command = {"/opt/a\\b/Umbravia.exe", "+Tray"};
    entry.categories = {"Network", "Security"};
    const std::string text = entry.text();
    // The quoting's backslashes are escaped once more as a string value.
    EXPECT_NE(text.find("\nExec=\"/opt/a\\\\\\\\b/Umbravia.exe\" +Tray\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nCategories=Network;Security;\n"), std::string::npos);
    EXPECT_EQ(text.find("TryExec"), std::string::npos);
}

} // namespace
