// scripts/install-desktop.sh: the application menu entry and the suite's icon put into a
// decoy data folder (XDG_DATA_HOME of the test's own), checked by desktop-file-validate,
// and taken out again with --remove, leaving everything else in the folder alone.

#include "TestSupport.h"

#include <QGuiApplication>
#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;

const std::vector<int> IconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

class DesktopEntryTest : public testsupport::PrefixTest {
protected:
    static ProcessResult install(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{
            (fs::path(UMBRAVIA_SOURCE_DIR) / "scripts" / "install-desktop.sh").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return testsupport::runProcess(argv);
    }
    fs::path entry() const { return m_prefix.dataHome() / "applications" / "umbravia.desktop"; }
    fs::path icon(int size) const
    {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        return m_prefix.dataHome() / "icons" / "hicolor" / folder / "apps" / "umbravia.png";
    }
    static ProcessResult validate(const fs::path& file)
    {
        return testsupport::runProcess({"desktop-file-validate", file.string()});
    }
    static std::string line(const std::string& text, const std::string& key)
    {
        const std::size_t at = text.find("\n" + key + "=");
        return at == std::string::npos ? std::string()
                                       : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    }
};

TEST_F(DesktopEntryTest, InstallPutsAValidEntryAndEveryIconSizeIntoTheDataFolder)
{
    const fs::path others = m_prefix.dataHome() / "applications" / "other.desktop";
    testsupport::writeFile(others, "[Desktop Entry]\nName=Other\n");

    const ProcessResult result = install({"--bin", testsupport::binDir().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(fs::exists(entry()));
    const ProcessResult valid = validate(entry());
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");

    const std::string text = testsupport::readFile(entry());
    const std::string program = (fs::canonical(testsupport::binDir()) / "Umbravia.exe").string();
    EXPECT_EQ(line(text, "Exec"), "Exec=\"" + program + "\"") << text;
    EXPECT_EQ(line(text, "Icon"), "Icon=umbravia");
    EXPECT_EQ(line(text, "Name"), "Name=Umbravia");
    for (int size : IconSizes) {
        const QImage image(QString::fromStdString(icon(size).string()));
        EXPECT_EQ(image.size(), QSize(size, size)) << size;
    }
    EXPECT_EQ(testsupport::readFile(others), "[Desktop Entry]\nName=Other\n");

    // Again over an installed one: the same entry.
    ASSERT_EQ(install({"--bin", testsupport::binDir().string()}).exitCode, 0);
    EXPECT_EQ(testsupport::readFile(entry()), text);
}

TEST_F(DesktopEntryTest, RemoveTakesTheEntryAndTheIconsAndNothingElse)
{
    ASSERT_EQ(install({"--bin", testsupport::binDir().string()}).exitCode, 0);
    const fs::path others = m_prefix.dataHome() / "applications" / "other.desktop";
    const fs::path otherIcon = icon(48).parent_path() / "other.png";
    testsupport::writeFile(others, "[Desktop Entry]\nName=Other\n");
    testsupport::writeFile(otherIcon, "png");

    const ProcessResult result = install({"--remove"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(entry()));
    for (int size : IconSizes) {
        EXPECT_FALSE(fs::exists(icon(size))) << size;
    }
    EXPECT_TRUE(fs::exists(others));
    EXPECT_TRUE(fs::exists(otherIcon));
    // Nothing installed: removing is no error.
    EXPECT_EQ(install({"--remove"}).exitCode, 0);
}

TEST_F(DesktopEntryTest, AProgramPathWithBlanksAndShellCharactersIsQuotedForTheMenu)
{
    // A copy of what the script needs in a folder whose name a shell would expand.
    testsupport::TempDir place;
    const fs::path bin = place.path() / "my bin $HOME `x` 100%";
    fs::create_directories(bin / "res");
    fs::copy_file(testsupport::binDir() / "Umbravia.exe", bin / "Umbravia.exe");
    fs::copy(testsupport::binDir() / "res" / "icons", bin / "res" / "icons",
             fs::copy_options::recursive);

    const ProcessResult result = install({"--bin", bin.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const ProcessResult valid = validate(entry());
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    const std::string folder = fs::canonical(place.path()).string();
    // Inside the quotes $ and ` take a backslash, which the entry's own escape doubles;
    // % doubles.
    EXPECT_EQ(line(testsupport::readFile(entry()), "Exec"),
              "Exec=\"" + folder + "/my bin \\\\$HOME \\\\`x\\\\` 100%%/Umbravia.exe\"");
}

TEST_F(DesktopEntryTest, WithoutABuiltProgramNothingIsWritten)
{
    testsupport::TempDir empty;
    const ProcessResult result = install({"--bin", empty.path().string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("no built Umbravia"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(m_prefix.dataHome() / "applications"));
    EXPECT_EQ(install({"--bogus"}).exitCode, 2);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv); // QImage reads PNG through the image plug-ins
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
