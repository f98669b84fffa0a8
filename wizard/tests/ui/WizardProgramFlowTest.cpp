// The program itself in a fresh prefix, driven from this process as the host and other
// programs reach it: its window found by class and title, button ids posted to it.

#include <common/Settings.h>
#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/Windows.h>

#include <RegistryTree.h>
#include <TestSupport.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* WizardTitle = "Umbravia Settings Wizard";
constexpr WPARAM NextButton = 0x3024;
constexpr WPARAM CancelButton = 2;
constexpr WPARAM FinishButton = 0x3025;
constexpr WPARAM DefaultBox = 1024; // the choice page's "Default Settings."

class WizardProgramFlowTest : public testsupport::PrefixTest {
protected:
    testsupport::ProcessOptions options()
    {
        testsupport::ProcessOptions options;
        options.env["QT_QPA_PLATFORM"] = "offscreen";
        // Every box of the program answers Yes where it can (the leave question).
        options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "yes";
        options.workingDir = testsupport::binDir();
        return options;
    }
    static fs::path program() { return testsupport::binDir() / "Umbravia Settings Wizard.exe"; }
};

TEST_F(WizardProgramFlowTest, CancelAnsweredYesEndsTheProgramWithZeroAndNothingSaved)
{
    testsupport::ChildProcess wizard({program().string(), "10"}, options());
    HWND page = 0;
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return (page = FindWindow(DIALOG_CLASS, WizardTitle)) != 0; }, 30s))
        << wizard.err();
    // What start-up wrote is there now; the pages write nothing before the programs
    // page's Next.
    const auto before = testsupport::registryTree(HKEY_LOCAL_MACHINE, settings::MakerKey);
    ASSERT_TRUE(PostMessage(page, WM_COMMAND, CancelButton, 0));
    const auto result = wizard.wait(30s);
    ASSERT_TRUE(result) << wizard.err();
    EXPECT_EQ(result->exitCode, 0) << result->err;
    EXPECT_NE(result->err.find("Are You Sure You Want To Leave The Wizaed?"), std::string::npos)
        << result->err;
    EXPECT_EQ(testsupport::registryTree(HKEY_LOCAL_MACHINE, settings::MakerKey), before);
    EXPECT_EQ(FindWindow(DIALOG_CLASS, WizardTitle), 0u);
}

TEST_F(WizardProgramFlowTest, NextPostedFromAnotherProcessOpensTheNextPage)
{
    testsupport::ChildProcess wizard({program().string(), "10"}, options());
    HWND welcome = 0;
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return (welcome = FindWindow(DIALOG_CLASS, WizardTitle)) != 0; }, 30s))
        << wizard.err();
    ASSERT_TRUE(PostMessage(welcome, WM_COMMAND, NextButton, 0));
    // The programs page is the newest window of that title; the welcome page stays, hidden.
    HWND programs = 0;
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            programs = FindWindow(DIALOG_CLASS, WizardTitle);
            return programs != 0 && programs != welcome;
        },
        30s))
        << wizard.err();
    // The programs page is made before the welcome page hides.
    EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindowVisible(welcome); }, 30s));
    EXPECT_TRUE(IsWindow(welcome));
    ASSERT_TRUE(PostMessage(programs, WM_COMMAND, CancelButton, 0));
    const auto result = wizard.wait(30s);
    ASSERT_TRUE(result) << wizard.err();
    EXPECT_EQ(result->exitCode, 0) << result->err;
}

// Waits for a newer page than the one given to be the newest of the wizard's title.
HWND nextPage(HWND after)
{
    HWND page = 0;
    testsupport::waitFor(
        [&] {
            page = FindWindow(DIALOG_CLASS, WizardTitle);
            return page != 0 && page != after;
        },
        30s);
    return page != after ? page : 0;
}

TEST_F(WizardProgramFlowTest, DefaultRoutePostedFromAnotherProcessSavesTheDefaults)
{
    testsupport::ProcessOptions quiet = options();
    quiet.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no"; // no backup; OK boxes answer OK
    testsupport::ChildProcess wizard({program().string(), "10"}, quiet);
    const HWND welcome = nextPage(0);
    ASSERT_NE(welcome, 0u) << wizard.err();
    PostMessage(welcome, WM_COMMAND, NextButton, 0);
    const HWND programs = nextPage(welcome);
    ASSERT_NE(programs, 0u) << wizard.err();
    PostMessage(programs, WM_COMMAND, NextButton, 0);
    const HWND choice = nextPage(programs);
    ASSERT_NE(choice, 0u) << wizard.err();
    PostMessage(choice, WM_COMMAND, DefaultBox, 0);
    PostMessage(choice, WM_COMMAND, NextButton, 0);
    const HWND finish = nextPage(choice);
    ASSERT_NE(finish, 0u) << wizard.err();
    PostMessage(finish, WM_COMMAND, FinishButton, 0);
    const auto result = wizard.wait(30s);
    ASSERT_TRUE(result) << wizard.err();
    EXPECT_EQ(result->exitCode, 0) << result->err;
    EXPECT_NE(result->err.find(
                  "The settings will take effect next time you start the configured programs"),
              std::string::npos)
        << result->err;
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "PATHLENGTH"), 1u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "UPDATEEVERY"), 2u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, "FAKEIP"), 0xFFFFFFFFu);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::LocalKey, "INTERNETCOOKIES"), 1u);
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
