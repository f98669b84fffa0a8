// End to end: the real Umbravia.exe and Umbravia Settings Wizard.exe in a fresh prefix,
// the wizard's pages pressed from this process through the window table (WM_COMMAND for
// the page buttons, BM_CLICK for a check box) and its message boxes answered through
// UMBRAVIA_MESSAGEBOX_ANSWER. The host is kept from listening (ACTIVE 0): the default
// settings put the proxy on port 8080, which a test must not take.

#include "ui/ChoicePage.h"
#include "ui/WizardPage.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Processes.h>
#include <platform/Text.h>
#include <platform/Windows.h>

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProcess;

constexpr auto StartTime = 60s;
constexpr const char* IESettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* OperaIni = "Program Files/Opera/Opera6.ini";
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string dosBin()
{
    return platform::toDosPath(fs::canonical(testsupport::binDir())).str() + "\\";
}

// The wizard's page on top: the most recently made window of its title.
HWND topPage()
{
    return FindWindowEx(0, 0, DIALOG_CLASS, wizard::ui::WizardTitle);
}

// Waits for a page other than the one before it.
HWND nextPage(HWND before)
{
    HWND page = 0;
    testsupport::waitFor(
        [&] {
            page = topPage();
            return page != 0 && page != before && IsWindowVisible(page);
        },
        StartTime);
    return page;
}

void press(HWND page, UINT id)
{
    ASSERT_TRUE(PostMessage(page, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0));
}

// How many processes named Umbravia.exe work in this prefix.
int hostsRunning()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (text::equalsNoCase(entry.szExeFile, "Umbravia.exe") &&
            platform::runsInThisPrefix(entry.th32ProcessID)) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

class WizardProgramTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
            .writeDword(settings::ActiveValue, 0);
        // Internet Explorer and Opera in the emulated environment.
        settings::Key::create(HKEY_CURRENT_USER, IESettings);
        settings::Key::create(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Opera")
            .writeString("UninstallString", "C:\\Program Files\\Opera\\uninst\\Opera.exe");
        fs::create_directories((m_prefix.driveC() / OperaIni).parent_path());
        testsupport::writeFile(m_prefix.driveC() / OperaIni,
                               "[Proxy]\r\nUse HTTP=0\r\nHTTP Server=old:1\r\n");
    }

    // A failed run may leave the processes the test did not start itself (the wizard the
    // host started, the host the wizard started): they end here, by their ids.
    void TearDown() override
    {
        for (const char* title : {wizard::ui::WizardTitle, hostlink::MainWindowTitle}) {
            for (HWND window = FindWindow(DIALOG_CLASS, title); window != 0;
                 window = FindWindow(DIALOG_CLASS, title)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                if (pid == 0 || pid == static_cast<DWORD>(::getpid())) {
                    break;
                }
                ::kill(static_cast<pid_t>(pid), SIGKILL);
                testsupport::waitFor([&] { return !IsWindow(window); }, 5s);
                if (IsWindow(window)) {
                    break;
                }
            }
        }
    }

    testsupport::ProcessOptions options(const char* answer) const
    {
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = answer;
        options.timeout = 120s;
        return options;
    }

    // The default route from the welcome page to Finish. The programs page waits until
    // the configuration component is registered (the first run registers it without
    // waiting).
    void defaultRoute()
    {
        const HWND welcome = nextPage(0);
        ASSERT_NE(welcome, 0u);
        press(welcome, wizard::ui::NextButton);
        const HWND programs = nextPage(welcome);
        ASSERT_NE(programs, 0u);
        ASSERT_TRUE(testsupport::waitFor(
            [] {
                return settings::Key::open(HKEY_CLASSES_ROOT,
                                           "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}")
                    .valid();
            },
            20s));
        press(programs, wizard::ui::NextButton);
        const HWND choice = nextPage(programs);
        ASSERT_NE(choice, 0u);
        ASSERT_TRUE(PostMessage(choice, BM_CLICK, wizard::ui::ChoicePage::DefaultBox, 0));
        press(choice, wizard::ui::NextButton);
        const HWND finish = nextPage(choice);
        ASSERT_NE(finish, 0u);
        press(finish, wizard::ui::FinishButton);
    }

    static std::optional<DWORD> mainDword(const char* name)
    {
        return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, name);
    }

    void expectDefaultsAndIntegration() const
    {
        EXPECT_EQ(mainDword("PROXYPORT"), 8080u);
        EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "PATHLENGTH"), 1u);
        EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ChainKey, "UPDATEEVERY"), 2u);
        EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, "BLOCKPOPUPS"),
                  1u);
        EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, "FAKEIP"),
                  0xFFFFFFFFu);
        EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::LocalKey, "AUTOPASS"), 1u);
        EXPECT_EQ(mainDword("IntegrateWithIE"), 1u);
        EXPECT_EQ(mainDword("IntegrateWithOpera"), 1u);
        EXPECT_EQ(mainDword("IntegrateWithNetscape"), 0u);
        EXPECT_EQ(settings::readDword(HKEY_CURRENT_USER, IESettings, "ProxyEnable"), 1u);
        EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, IESettings).readString("ProxyServer"),
                  "127.0.0.1:8080");
        const std::string opera = testsupport::readFile(m_prefix.driveC() / OperaIni);
        EXPECT_NE(opera.find("Use HTTP=1"), std::string::npos) << opera;
        EXPECT_NE(opera.find("HTTP Server=127.0.0.1:8080"), std::string::npos) << opera;
        EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, RunKey).readString("Umbravia"),
                  dosBin() + "Umbravia.exe");
    }

    static void exitHost(ChildProcess& host)
    {
        testsupport::ProcessOptions options;
        options.timeout = 20s;
        EXPECT_EQ(testsupport::runProcess(
                      {(testsupport::binDir() / "umbravia-ctl").string(), "exit"}, options)
                      .exitCode,
                  0);
        const std::optional<testsupport::ProcessResult> result = host.wait(20s);
        ASSERT_TRUE(result.has_value()) << host.err();
        EXPECT_EQ(result->exitCode, 0);
    }
};

TEST_F(WizardProgramTest, FirstRunYesRunsTheWizardAndTheHostGoesOnWithTheDefaultSettings)
{
    ChildProcess host({(testsupport::binDir() / "Umbravia.exe").string()}, options("yes"));
    defaultRoute();
    // The host waited for the wizard and now shows its main window.
    ASSERT_TRUE(testsupport::waitFor(
        [] { return FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle) != 0; }, StartTime))
        << host.err();
    EXPECT_EQ(topPage(), 0u);
    EXPECT_EQ(hostsRunning(), 1) << "the wizard started by the host starts no second host";
    expectDefaultsAndIntegration();
    EXPECT_NE(host.err().find("MessageBox [Umbravia] This is the first time you run Umbravia"),
              std::string::npos)
        << host.err();
    exitHost(host);
}

TEST_F(WizardProgramTest, StartedWithTenTheWizardEndsWithoutStartingAHostAndWithoutItStartsOne)
{
    const std::string wizardProgram =
        (testsupport::binDir() / "Umbravia Settings Wizard.exe").string();
    {
        ChildProcess wizard({wizardProgram, "10"}, options("no"));
        defaultRoute();
        const std::optional<testsupport::ProcessResult> result = wizard.wait(StartTime);
        ASSERT_TRUE(result.has_value()) << wizard.err();
        EXPECT_EQ(result->exitCode, 0) << wizard.err();
        EXPECT_EQ(hostsRunning(), 0);
        expectDefaultsAndIntegration();
    }
    // The same without "10": one host, started minimised, which answers its own first-run
    // question No (the wizard's registration left ISREGISTERED at 0).
    ChildProcess wizard({wizardProgram}, options("no"));
    defaultRoute();
    const std::optional<testsupport::ProcessResult> result = wizard.wait(StartTime);
    ASSERT_TRUE(result.has_value()) << wizard.err();
    EXPECT_EQ(result->exitCode, 0) << wizard.err();
    ASSERT_TRUE(testsupport::waitFor(
        [] { return FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle) != 0; }, StartTime));
    EXPECT_EQ(hostsRunning(), 1);
    testsupport::ProcessOptions quiet;
    quiet.timeout = 20s;
    EXPECT_EQ(
        testsupport::runProcess({(testsupport::binDir() / "umbravia-ctl").string(), "exit"}, quiet)
            .exitCode,
        0);
    EXPECT_TRUE(testsupport::waitFor([] { return hostsRunning() == 0; }, 20s));
}

} // namespace
