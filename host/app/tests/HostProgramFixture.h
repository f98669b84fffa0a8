#pragma once
// The real Umbravia.exe in a temporary prefix, started and ended from outside as a user
// would: the fixture the end-to-end tests of the host share.

#include "TestSupport.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hosttest {

using testsupport::ChildProcess;
using testsupport::ProcessResult;

inline constexpr std::chrono::seconds StartTime{30};

inline std::optional<DWORD> mainDword(const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, name);
}

inline void writeMainDword(const char* name, DWORD value)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword(name, value);
}

inline bool keyExists(const char* path)
{
    return settings::Key::open(HKEY_LOCAL_MACHINE, path).valid();
}

class HostProgramTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_port = testsupport::freePort();
        writeMainDword("PROXYPORT", static_cast<DWORD>(m_port));
    }

    std::unique_ptr<ChildProcess> startHost(std::vector<std::string> arguments = {},
                                            const std::filesystem::path& program = {})
    {
        std::vector<std::string> argv{
            (program.empty() ? testsupport::binDir() / "Umbravia.exe" : program).string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(argv, hostOptions());
    }

    testsupport::ProcessOptions hostOptions() const
    {
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no";
        options.env["UMBRAVIA_SAVEFILE_ANSWER"] = m_saveAnswer;
        options.timeout = std::chrono::seconds(60);
        return options;
    }

    // The main window of the running host, once it is there.
    static HWND waitForMainWindow(ChildProcess& host)
    {
        HWND window = 0;
        testsupport::waitFor(
            [&] {
                window = FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle);
                return window != 0 || !host.running();
            },
            StartTime);
        return window;
    }

    // A page of the main window, by its title, once it is made (the window is listed from
    // the start of its creation; its pages come a moment later); 0 when it never came.
    static HWND waitForPage(HWND window, const char* title)
    {
        HWND page = 0;
        testsupport::waitFor(
            [&] { return (page = FindWindowEx(window, 0, DIALOG_CLASS, title)) != 0; },
            std::chrono::seconds(10));
        return page;
    }

    static ProcessResult ctl(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{(testsupport::binDir() / "umbravia-ctl").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testsupport::ProcessOptions options;
        options.timeout = std::chrono::seconds(20);
        return testsupport::runProcess(argv, options);
    }

    // The exit command from outside, and the host's end.
    static void exitHost(ChildProcess& host)
    {
        EXPECT_EQ(ctl({"exit"}).exitCode, 0);
        const std::optional<ProcessResult> result = host.wait(std::chrono::seconds(20));
        ASSERT_TRUE(result.has_value()) << host.err();
        EXPECT_EQ(result->exitCode, 0);
    }

    int m_port = 0;
    std::string m_saveAnswer = "cancel";
};

} // namespace hosttest
