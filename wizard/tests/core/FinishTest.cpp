// Finish without its page: the model saved, then the main program started minimised in
// its folder unless the host started the wizard ("10") or a host of this prefix runs
// (the process snapshot). The main program is a decoy that records how it was started.

#include "core/Finish.h"

#include "core/SettingsModel.h"
#include "core/Startup.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Windows.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Whether the process has replaced itself with the program called Umbravia.exe.
bool runsUnderItsName(int pid)
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    return !ec && exe.filename() == "Umbravia.exe";
}

class FinishTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        for (const char* key : {settings::LocalKey, settings::ResponseKey, settings::RequestKey,
                                settings::ChainKey}) {
            settings::Key::create(HKEY_LOCAL_MACHINE, key);
        }
        // The decoy notes its show command and working folder, one line per start.
        m_log = m_install.path() / "started.log";
        const fs::path program = m_install.path() / "Umbravia.exe";
        testsupport::writeFile(program, "#!/bin/sh\necho \"$UMBRAVIA_SHOWCMD $(pwd)\" >> '" +
                                            m_log.string() + "'\n");
        fs::permissions(program, fs::perms::owner_all);
        m_context.folder = platform::toDosPath(m_install.path()).str() + "\\";
        m_context.mainProgramPath = m_context.folder + "Umbravia.exe";
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
            .writeStringNoZero(nullptr, m_context.mainProgramPath);
        m_model.chain.proxyPort = 3128;
        m_model.chain.pathLength = 2;
    }
    std::string startLog() const
    {
        return fs::exists(m_log) ? testsupport::readFile(m_log) : std::string();
    }
    // A process named Umbravia.exe (a copy of sleep) working for the given prefix.
    std::unique_ptr<testsupport::ChildProcess> runningHost(const fs::path& prefix)
    {
        const fs::path copy = m_running.path() / "Umbravia.exe";
        if (!fs::exists(copy)) {
            fs::copy_file("/bin/sleep", copy);
        }
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_PREFIX"] = prefix.string();
        return std::make_unique<testsupport::ChildProcess>(
            std::vector<std::string>{copy.string(), "60"}, options);
    }

    testsupport::TempDir m_install;
    testsupport::TempDir m_running;
    fs::path m_log;
    wizard::StartContext m_context;
    wizard::SettingsModel m_model;
    platform::ScopedScriptedPresenter m_boxes;
};

TEST_F(FinishTest, WithoutTenItSavesAndStartsTheMainProgramOnceMinimisedInItsFolder)
{
    const wizard::FinishOutcome outcome = wizard::finishWizard(m_model, m_context);
    EXPECT_TRUE(outcome.saved);
    EXPECT_TRUE(outcome.hostStarted);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "PROXYPORT"), 3128u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "PATHLENGTH"), 2u);
    const std::string expected =
        std::to_string(SW_SHOWMINIMIZED) + " " + fs::canonical(m_install.path()).string() + "\n";
    EXPECT_TRUE(testsupport::waitFor([&] { return startLog() == expected; })) << startLog();
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(FinishTest, StartedByTheHostItSavesButNeverStartsASecondHost)
{
    m_context.startedByHost = true;
    const wizard::FinishOutcome outcome = wizard::finishWizard(m_model, m_context);
    EXPECT_TRUE(outcome.saved);
    EXPECT_FALSE(outcome.hostStarted);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, "PROXYPORT"), 3128u);
    EXPECT_EQ(startLog(), "");
}

TEST_F(FinishTest, AHostOfThisPrefixRunningIsNotStartedAgainOneOfAnotherPrefixDoesNotCount)
{
    testsupport::TempDir otherPrefix;
    const auto foreign = runningHost(otherPrefix.path());
    ASSERT_TRUE(testsupport::waitFor([&] { return runsUnderItsName(foreign->pid()); }));
    EXPECT_FALSE(wizard::mainProgramRunning());

    const auto ours = runningHost(platform::prefix());
    ASSERT_TRUE(testsupport::waitFor([] { return wizard::mainProgramRunning(); }, 10s));
    const wizard::FinishOutcome outcome = wizard::finishWizard(m_model, m_context);
    EXPECT_TRUE(outcome.saved);
    EXPECT_FALSE(outcome.hostStarted);
    EXPECT_EQ(startLog(), "");
}

TEST_F(FinishTest, AFailedSaveStillEndsTheWizardAndStartsTheHost)
{
    SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey);
    const wizard::FinishOutcome outcome = wizard::finishWizard(m_model, m_context);
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(m_boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_TRUE(outcome.hostStarted);
    EXPECT_TRUE(testsupport::waitFor([&] { return !startLog().empty(); }));
}

} // namespace
