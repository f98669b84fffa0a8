// The real Umbravia.exe in a temporary prefix, with the real modules from the bin folder
// (or the small test modules where a test must see what the host calls), driven from
// outside as a user or the browser toolbar would: through umbravia-ctl, curl, signals.

#include "ComTestSupport.h"
#include "HostProgramFixture.h"
#include "OriginServer.h"
#include "TestSupport.h"
#include "UserAgents.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Registry.h>
#include <platform/Text.h>
#include <platform/Windows.h>

#include <QApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using hosttest::HostProgramTest;
using hosttest::keyExists;
using hosttest::mainDword;
using hosttest::writeMainDword;
using testsupport::ChildProcess;
using testsupport::ProcessResult;
namespace fs = std::filesystem;

constexpr const char* BrowserHelperKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper "
    "Objects\\{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}";
constexpr const char* IEAgent = testsupport::agents::InternetExplorer6;

std::string dosBin()
{
    return platform::toDosPath(testsupport::binDir()).str() + "\\";
}

bool portAccepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

// A window of the host's link class in this process: to the host it is a host already
// running.
class FakeRunningHost {
public:
    FakeRunningHost()
    {
        WNDCLASS linkClass{};
        linkClass.lpfnWndProc = DefWindowProc;
        linkClass.lpszClassName = hostlink::LinkWindowClass;
        RegisterClass(&linkClass);
        m_window = CreateWindowEx(0, hostlink::LinkWindowClass, "", WS_POPUP, 0, 0, 1, 1, 0, 0,
                                  nullptr, nullptr);
    }
    ~FakeRunningHost()
    {
        DestroyWindow(m_window);
        UnregisterClass(hostlink::LinkWindowClass, nullptr);
    }
    HWND window() const { return m_window; }

private:
    HWND m_window = 0;
};

// Started by its absolute path, or by a path relative to the current folder (as from the
// repository, "build/bin/Umbravia.exe"): both register the same values.
class HostFreshMachineTest : public testing::TestWithParam<bool> {};

TEST_P(HostFreshMachineTest, FirstStartWritesTheStartupValuesAndRegistersTheModules)
{
    const bool relativeStart = GetParam();
    testsupport::TempPrefix prefix;
    // A host seems to run already, so this start ends after the start-up values and the
    // first run, without listening on the default port.
    FakeRunningHost running;
    ASSERT_NE(running.window(), 0);
    testsupport::ProcessOptions options;
    options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no";
    fs::path program = testsupport::binDir() / "Umbravia.exe";
    if (relativeStart) {
        options.workingDir = testsupport::binDir().parent_path();
        program = testsupport::binDir().filename() / "Umbravia.exe";
    }
    const ProcessResult result = testsupport::runProcess({program.string()}, options);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);

    EXPECT_EQ(mainDword("PROXYPORT"), 8080u);
    EXPECT_EQ(mainDword("ANONYMITYLEVEL"), 0xFFFFFFFFu);
    EXPECT_EQ(mainDword("PRIVACYLEVEL"), 0xFFFFFFFFu);
    EXPECT_EQ(mainDword("ACTIVE"), 1u);
    EXPECT_EQ(mainDword("ShowIEToolbar"), 1u);
    EXPECT_EQ(mainDword("ISREGISTERED"), 0u); // the main window has not run yet

    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    EXPECT_EQ(main.readString(nullptr), dosBin() + "Umbravia.exe");
    EXPECT_EQ(main.readString("DataFolder"), dosBin() + "DataFolder");
    for (const char* module : {"Chain.dll", "Filters.dll", "Local.dll", "IEExt.dll"}) {
        const std::string key = std::string(settings::DllsKey) + "\\" + module;
        EXPECT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE, key.c_str()).readString("PATHNAME"),
                  dosBin() + module)
            << module;
    }
    EXPECT_TRUE(keyExists(settings::BannersKey));
    settings::Key extension = settings::Key::open(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet "
                            "Explorer\\Extensions\\{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}");
    EXPECT_EQ(extension.readString("ButtonText"), "Umbravia");
    EXPECT_EQ(extension.readString("Icon"), dosBin() + "UmbraIEPlugin.dll,213");
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE,
                                  "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
                                  "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}"),
              0u);
    // The wizard question was asked and answered No.
    EXPECT_NE(result.err.find("MessageBox [Umbravia] This is the first time you run Umbravia"),
              std::string::npos)
        << result.err;
    // A second instance leaves the running host's browser helper object key alone.
    EXPECT_TRUE(keyExists(BrowserHelperKey));

    // The first run's "regsvr32.exe /s Rigwright.dll" (started without waiting) finds the
    // component in the install folder and registers it with its type library.
    const auto classesValue = [](const char* path) {
        return settings::Key::open(HKEY_CLASSES_ROOT, path).readString(nullptr);
    };
    const char* server = "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}\\InprocServer32";
    const char* typeLib = "TypeLib\\{40A10271-47EF-4860-9D71-CCAEDFE7BBFD}\\1.0\\0\\win32";
    EXPECT_TRUE(testsupport::waitFor([&] { return classesValue(typeLib).has_value(); }, 20s));
    const std::string component =
        platform::toDosPath(fs::canonical(testsupport::binDir() / "Rigwright.dll")).str();
    EXPECT_EQ(classesValue(server), component);
    EXPECT_EQ(classesValue(typeLib), component);
    EXPECT_EQ(classesValue("Rigwright.Configuration\\CurVer"), "Rigwright.Configuration.1");
}

INSTANTIATE_TEST_SUITE_P(Starts, HostFreshMachineTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& start) {
                             return start.param ? "RelativePath" : "AbsolutePath";
                         });

TEST_F(HostProgramTest, FirstRunStopsAtAMissingModuleAndStillAsksAboutTheWizard)
{
    // An install folder without IEExt.dll.
    testsupport::TempDir install;
    for (const char* file : {"Umbravia.exe", "Local.dll", "Filters.dll", "Chain.dll"}) {
        fs::copy_file(testsupport::binDir() / file, install.path() / file);
    }
    const ProcessResult result =
        testsupport::runProcess({(install.path() / "Umbravia.exe").string()}, hostOptions());
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    const std::size_t failed =
        result.err.find("MessageBox [Umbravia Setup] Failed to load the requested module");
    const std::size_t question = result.err.find("MessageBox [Umbravia] This is the first time");
    ASSERT_NE(failed, std::string::npos) << result.err;
    ASSERT_NE(question, std::string::npos) << result.err;
    EXPECT_LT(failed, question);
    // local.dll was registered before the failure; Filters and Chain were not, so the
    // host cannot load its Chain module and ends.
    const std::string localKey = std::string(settings::DllsKey) + "\\Local.dll";
    EXPECT_TRUE(keyExists(localKey.c_str()));
    const std::string chainKey = std::string(settings::DllsKey) + "\\Chain.dll";
    EXPECT_FALSE(keyExists(chainKey.c_str()));
    EXPECT_FALSE(keyExists("SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"));
    EXPECT_EQ(FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle), 0);
}

TEST_F(HostProgramTest, FirstRunYesStartsTheWizardWithTenInTheInstallFolderAndGoesOnWhenItEnds)
{
    // A copy of the program folder whose wizard only notes how it was started and ends.
    testsupport::TempDir install;
    for (const char* file :
         {"Umbravia.exe", "Local.dll", "IEExt.dll", "Filters.dll", "Chain.dll", "Listfetch.dll"}) {
        fs::copy_file(testsupport::binDir() / file, install.path() / file);
    }
    const fs::path log = install.path() / "wizard.log";
    const fs::path wizard = install.path() / "Umbravia Settings Wizard.exe";
    testsupport::writeFile(wizard, "#!/bin/sh\necho \"$* $UMBRAVIA_SHOWCMD $(pwd)\" >> '" +
                                       log.string() + "'\n");
    fs::permissions(wizard, fs::perms::owner_all);
    testsupport::ProcessOptions options = hostOptions();
    options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "yes";
    ChildProcess host({(install.path() / "Umbravia.exe").string()}, options);
    // The wizard ended without a window: the start-up goes on to the main window.
    ASSERT_NE(waitForMainWindow(host), 0) << host.err();
    EXPECT_EQ(testsupport::readFile(log), "10 " + std::to_string(SW_SHOWNORMAL) + " " +
                                              fs::canonical(install.path()).string() + "\n");
    exitHost(host);
}

TEST_F(HostProgramTest, SecondInstanceEndsSilentlyAndLeavesTheFirstAlone)
{
    std::unique_ptr<ChildProcess> first = startHost();
    const HWND window = waitForMainWindow(*first);
    ASSERT_NE(window, 0) << first->err();
    // The window completes the first run while it is being made.
    EXPECT_TRUE(testsupport::waitFor([] { return mainDword("ISREGISTERED") == 1u; }, 10s));
    EXPECT_TRUE(keyExists(BrowserHelperKey));

    const ProcessResult second =
        testsupport::runProcess({(testsupport::binDir() / "Umbravia.exe").string()}, hostOptions());
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.err.find("MessageBox"), std::string::npos) << second.err;

    EXPECT_TRUE(first->running());
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(keyExists(BrowserHelperKey));
    EXPECT_TRUE(portAccepts(m_port));
    exitHost(*first);
    EXPECT_FALSE(keyExists(BrowserHelperKey));
}

TEST_F(HostProgramTest, EveryStartRegistersTheBrowserHelperObjectAndItsExitRemovesTheBrowserKey)
{
    const auto classesValue = [](const char* path, const char* name = nullptr) {
        return settings::Key::open(HKEY_CLASSES_ROOT, path).readString(name);
    };
    const char* server = "CLSID\\{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}\\InprocServer32";
    const std::string module =
        platform::toDosPath(fs::canonical(testsupport::binDir() / "UmbraIEExt.dll")).str();
    const std::vector<std::string> unregister{(testsupport::binDir() / "regsvr32.exe").string(),
                                              "/u", "/s", module};

    // The first run, then the class taken away again.
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
    EXPECT_TRUE(testsupport::waitFor([&] { return classesValue(server) == module; }, 60s));
    exitHost(*host);
    EXPECT_FALSE(keyExists(BrowserHelperKey));
    ASSERT_EQ(testsupport::runProcess(unregister).exitCode, 0);
    ASSERT_FALSE(classesValue(server).has_value());

    // A normal start registers it anew through its own regsvr32 run.
    ASSERT_EQ(mainDword("ISREGISTERED"), 1u);
    host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
    EXPECT_TRUE(keyExists(BrowserHelperKey));
    EXPECT_TRUE(testsupport::waitFor([&] { return classesValue(server) == module; }, 60s));
    EXPECT_EQ(classesValue(server, "ThreadingModel"), "Both");
    EXPECT_EQ(classesValue("UmbraIEExt.UmbraBHO\\CurVer"), "UmbraIEExt.UmbraBHO.1");
    exitHost(*host);
    // The exit removes the browser registration only; the class stays registered.
    EXPECT_FALSE(keyExists(BrowserHelperKey));
    EXPECT_EQ(classesValue(server), module);
}

// The offscreen platform has no notification area: a hidden window could not be brought
// back, so even "+Tray" leaves the window reachable (minimised to the task bar). Whether
// "+Tray" hides the window where a tray exists is the main window's own test.
TEST_F(HostProgramTest, TrayArgumentWithoutANotificationAreaKeepsTheWindowReachable)
{
    for (const char* argument : {"+Tray", "+tray"}) {
        std::unique_ptr<ChildProcess> host = startHost({argument});
        const HWND window = waitForMainWindow(*host);
        ASSERT_NE(window, 0) << host->err();
        EXPECT_TRUE(testsupport::waitFor([&] { return IsWindowVisible(window) != FALSE; }, 5s))
            << argument;
        exitHost(*host);
    }
}

TEST_F(HostProgramTest, InactiveStartOpensTheWindowWithNothingListening)
{
    writeMainDword("ACTIVE", 0);
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
    EXPECT_FALSE(portAccepts(m_port));
    const ProcessResult status = ctl({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_NE(status.out.find("ACTIVE: 0"), std::string::npos) << status.out;
    exitHost(*host);
}

TEST_F(HostProgramTest, TakenPortShowsTheFailureAndEndsWithoutAWindow)
{
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    // Started from a folder without UmbraIEExt.dll: the start's own regsvr32 run of it,
    // which the host does not wait for and which writes the browser helper key too, could
    // otherwise finish after this short-lived host has ended.
    testsupport::TempDir install;
    for (const char* file : {"Umbravia.exe", "Listfetch.dll"}) {
        fs::copy_file(testsupport::binDir() / file, install.path() / file);
    }
    writeMainDword("ISREGISTERED", 1);
    for (const char* module : {"Chain.dll", "Filters.dll", "Local.dll", "IEExt.dll"}) {
        const std::string key = std::string(settings::DllsKey) + "\\" + module;
        settings::Key::create(HKEY_LOCAL_MACHINE, key.c_str())
            .writeString("PathName", dosBin() + module);
    }

    const ProcessResult result =
        testsupport::runProcess({(install.path() / "Umbravia.exe").string()}, hostOptions());
    ::close(blocker);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("MessageBox [Umbravia] Failed start proxy server"), std::string::npos)
        << result.err;
    EXPECT_EQ(FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle), 0);
    EXPECT_FALSE(keyExists(BrowserHelperKey)) << result.err;
}

TEST_F(HostProgramTest, RequestsThroughTheHostAreListedAndExported)
{
    testsupport::OriginServer origin(testsupport::OriginServer::Mode::Http,
                                     testsupport::uniqueLoopbackAddress());
    testsupport::TempDir out;
    const fs::path log = out.path() / "activity.log";
    m_saveAnswer = log.string();
    std::unique_ptr<ChildProcess> host = startHost();
    const HWND window = waitForMainWindow(*host);
    ASSERT_NE(window, 0) << host->err();

    const HWND page = waitForPage(window, "Activity");
    ASSERT_NE(page, 0);
    // Exports the list and returns the file (the export button, pressed from outside).
    const auto exported = [&] {
        SendMessage(page, WM_COMMAND, 1028, 0);
        return fs::exists(log) ? testsupport::readFile(log) : std::string();
    };
    const auto lines = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    };

    const std::string proxy = "127.0.0.1:" + std::to_string(m_port);
    std::vector<int> clientPorts;
    for (int i = 0; i < 3; ++i) {
        const int clientPort = testsupport::freePort();
        const ProcessResult curl = testsupport::runProcess(
            {"curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "--local-port",
             std::to_string(clientPort), "-x", proxy, "-A", IEAgent,
             "http://" + origin.address() + "/page" + std::to_string(i)});
        ASSERT_EQ(curl.out, "200") << curl.err;
        clientPorts.push_back(clientPort);
        // One request at a time: an entry shows the texts current when the window
        // handles the notification, so each is listed before the next request goes.
        ASSERT_TRUE(testsupport::waitFor([&] { return lines(exported()) == 3 + i + 1; }, 10s))
            << "request " << i << "; the list holds:\n"
            << exported();
    }
    // A program the list does not recognise adds nothing.
    testsupport::runProcess({"curl", "-s", "-o", "/dev/null", "-x", proxy, "-A", "Wget/1.21",
                             "http://" + origin.address() + "/other"});

    std::string expected;
    const std::string rule(79, '-');
    expected += rule + "\r\nRequest ID\tProgram Name\t\tPort\t\tDestination\r\n" + rule + "\r\n";
    for (int i = 2; i >= 0; --i) {
        expected += "000" + std::to_string(i) + "\t\tInternet Explorer\t" +
                    std::to_string(clientPorts[static_cast<std::size_t>(i)]) + "\t\t" +
                    origin.address() + "\r\n";
    }
    const std::string written = exported();
    EXPECT_EQ(written, expected);
    exitHost(*host);
}

TEST_F(HostProgramTest, OutsideWindowDrivesLevelsAndTheProxyAndHoldsTheExit)
{
    std::unique_ptr<ChildProcess> host = startHost();
    const HWND window = waitForMainWindow(*host);
    ASSERT_NE(window, 0) << host->err();
    const std::string chainKey = std::string(settings::DllsKey) + "\\Chain.dll";
    settings::Key::open(HKEY_LOCAL_MACHINE, chainKey.c_str(), KEY_ALL_ACCESS)
        .writeDword("CONNECTCHAIN", 0);

    // A watching outside window registers (1220) and sees what follows.
    ChildProcess watch({(testsupport::binDir() / "umbravia-ctl").string(), "watch"});
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            return watch.out().find("watching") != std::string::npos ||
                   watch.err().find("watching") != std::string::npos;
        },
        10s))
        << watch.err();

    EXPECT_EQ(ctl({"anonymity", "0"}).exitCode, 0);
    EXPECT_EQ(mainDword("ANONYMITYLEVEL"), 0u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, chainKey.c_str(), "CONNECTCHAIN"), 0u);
    EXPECT_EQ(ctl({"anonymity", "2"}).exitCode, 0);
    EXPECT_EQ(mainDword("ANONYMITYLEVEL"), 2u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, chainKey.c_str(), "CONNECTCHAIN"), 1u);
    EXPECT_EQ(ctl({"privacy", "1"}).exitCode, 0);
    EXPECT_EQ(mainDword("PRIVACYLEVEL"), 1u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, nullptr), 1u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, nullptr), 1u);

    EXPECT_EQ(ctl({"stop"}).exitCode, 0);
    EXPECT_EQ(mainDword("ACTIVE"), 0u);
    EXPECT_FALSE(portAccepts(m_port));
    EXPECT_EQ(ctl({"start"}).exitCode, 0);
    EXPECT_EQ(mainDword("ACTIVE"), 1u);
    EXPECT_TRUE(portAccepts(m_port));

    EXPECT_TRUE(testsupport::waitFor(
        [&] {
            const std::string out = watch.out();
            return out.find("1217") != std::string::npos && out.find("1216") != std::string::npos &&
                   out.find("1215") != std::string::npos;
        },
        5s))
        << watch.out();

    // The exit waits while the watcher is registered...
    EXPECT_EQ(ctl({"exit"}).exitCode, 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(host->running());
    EXPECT_FALSE(IsWindowVisible(window));
    // ...and the host ends soon after it has gone.
    watch.signal(SIGTERM);
    ASSERT_TRUE(watch.wait(10s).has_value());
    const auto gone = std::chrono::steady_clock::now();
    const std::optional<ProcessResult> result = host->wait(10s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 0);
    // About 100 ms: one tick of the exit timer, plus the shutdown.
    std::cout << "host ended "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - gone)
                     .count()
              << " ms after the outside window\n";
}

TEST_F(HostProgramTest, SigtermShutsDownInOrder)
{
    // The small test modules record their OnProgramExit calls (the IEExt one exports
    // none).
    writeMainDword("ISREGISTERED", 1);
    for (const char* module : {"Chain", "Local", "Filters", "IEExt"}) {
        const std::string key = std::string(settings::DllsKey) + "\\" + module + ".dll";
        const fs::path path = testsupport::testModulesDir() /
                              ("host_testmodule_Table" + std::string(module)) /
                              (std::string("Table") + module + ".dll");
        settings::Key::create(HKEY_LOCAL_MACHINE, key.c_str())
            .writeString("PathName", platform::toDosPath(path).str());
    }
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
    EXPECT_TRUE(keyExists(BrowserHelperKey));
    EXPECT_TRUE(portAccepts(m_port));

    host->signal(SIGTERM);
    const std::optional<ProcessResult> result = host->wait(20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 0);
    EXPECT_EQ(testsupport::readFile(m_prefix.path() / "fake-modules.log"),
              "Chain OnProgramExit\nLocal OnProgramExit\nFilters OnProgramExit\n");
    EXPECT_FALSE(keyExists(BrowserHelperKey));
    EXPECT_FALSE(portAccepts(m_port));
}

// --- program integration at start-up and exit ------------------------------------------

std::string appDataFolder()
{
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPath(0, path, CSIDL_APPDATA, TRUE);
    return path;
}

fs::path hostPath(const std::string& dos)
{
    const auto path = platform::toHostPath(dos);
    return path.ok() ? *path : fs::path();
}

void writeDos(const std::string& dos, const std::string& bytes)
{
    const fs::path path = hostPath(dos);
    fs::create_directories(path.parent_path());
    testsupport::writeFile(path, bytes);
}

std::string readDos(const std::string& dos)
{
    const fs::path path = hostPath(dos);
    return fs::exists(path) ? testsupport::readFile(path) : std::string();
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Every program Rigwright configures, installed in the prefix as its configurators find
// them, and chosen for integration.
class IntegrationEndToEndTest : public HostProgramTest {
protected:
    static constexpr const char* Uninstall =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    static constexpr const char* IESettings =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    static constexpr const char* OperaIni = "C:\\Program Files\\Opera\\Opera6.ini";
    static constexpr const char* MircIni = "C:\\Program Files\\mIRC\\mirc.ini";
    static constexpr const char* Msn = "Software\\Microsoft\\MSNMessenger";
    static constexpr const char* Yahoo = "Software\\Yahoo\\Pager";
    static constexpr const char* Cute = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

    void SetUp() override
    {
        HostProgramTest::SetUp();
        const std::string component =
            platform::toDosPath(fs::canonical(testsupport::binDir() / "Rigwright.dll")).str();
        ASSERT_EQ(testsupport::callModuleExport(component, "DllRegisterServer"), S_OK);
        install("Netscape (7.0)", "C:\\Program Files\\Netscape\\uninstall.exe");
        writeDos(prefsJs(), "user_pref(\"browser.startup.page\", 1);\r\n");
        install("Opera", "C:\\Program Files\\Opera\\uninst\\Opera.exe /uninstall");
        writeDos(OperaIni, "[Proxy]\r\nUse HTTP=0\r\nHTTP Server=old:1\r\n");
        install("mIRC", "\"C:\\Program Files\\mIRC\\mirc.exe\" -uninstall");
        writeDos(MircIni, "[ident]\r\nport=113\r\n[socks]\r\nenable=no\r\nport=1080\r\n"
                          "method=socks4\r\nhostname=old.example\r\n");
        install("WS_FTP Pro", "C:\\Program Files\\WS_FTP Pro\\unins.exe");
        for (const char* key : {IESettings, Msn, Yahoo, Cute}) {
            settings::Key::create(HKEY_CURRENT_USER, key);
        }
        for (const char* name :
             {"IntegrateWithIE", "IntegrateWithNetscape", "IntegrateWithOpera",
              "IntegrateWithMSNMessenger", "IntegrateWithYahooMessenger", "IntegrateWithMIRC",
              "IntegrateWithWS_FTP", "IntegrateWithCute_FTP"}) {
            writeMainDword(name, 1);
        }
    }
    static void install(const std::string& name, const char* uninstallString)
    {
        settings::Key::create(HKEY_LOCAL_MACHINE, (Uninstall + name).c_str())
            .writeString("UninstallString", uninstallString);
    }
    static std::string prefsJs()
    {
        return appDataFolder() + "\\Mozilla\\Profiles\\default\\x1y2z3.slt\\prefs.js";
    }
    static std::string wsFtpIni()
    {
        return appDataFolder() + "\\Ipswitch\\WS_FTP\\Sites\\firewall.ini";
    }
    static std::optional<DWORD> userDword(const char* key, const char* name)
    {
        return settings::readDword(HKEY_CURRENT_USER, key, name);
    }
    static std::optional<std::string> userString(const char* key, const char* name)
    {
        return settings::Key::open(HKEY_CURRENT_USER, key).readString(name);
    }
    static std::optional<std::string> userBinary(const char* key, const char* name)
    {
        HKEY open = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, key, 0, KEY_READ, &open) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string data(4, '\0');
        DWORD size = 4;
        const LONG rc = RegQueryValueEx(open, name, nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(data.data()), &size);
        RegCloseKey(open);
        return rc == ERROR_SUCCESS ? std::optional(data.substr(0, size)) : std::nullopt;
    }
    static std::string fourBytes(DWORD value)
    {
        return std::string(reinterpret_cast<const char*>(&value), 4);
    }
};

TEST_F(IntegrationEndToEndTest, StartPointsEveryProgramAtTheProxyAndExitTakesThemOff)
{
    ASSERT_NE(m_port, 8080); // the port must come from PROXYPORT, not the default
    const std::string port = std::to_string(m_port);
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();

    // The start-up step runs as the window's pages are made; CuteFTP comes last.
    EXPECT_TRUE(testsupport::waitFor([] { return userDword(Cute, "FireType").has_value(); }, 20s))
        << host->err();
    EXPECT_EQ(userDword(IESettings, "ProxyEnable"), 1u);
    EXPECT_EQ(userString(IESettings, "ProxyServer"), "127.0.0.1:" + port);
    const std::string prefs = readDos(prefsJs());
    EXPECT_TRUE(contains(prefs, "user_pref(\"network.proxy.type\", 1);")) << prefs;
    EXPECT_TRUE(contains(prefs, "user_pref(\"network.proxy.http\", \"127.0.0.1\");")) << prefs;
    EXPECT_TRUE(contains(prefs, "user_pref(\"network.proxy.http_port\", " + port + ");")) << prefs;
    const std::string opera = readDos(OperaIni);
    EXPECT_TRUE(contains(opera, "Use HTTP=1")) << opera;
    EXPECT_TRUE(contains(opera, "HTTP Server=127.0.0.1:" + port)) << opera;
    EXPECT_EQ(userBinary(Msn, "ProxyState"), fourBytes(1));
    EXPECT_EQ(userBinary(Msn, "ProxyType"), fourBytes(4));
    EXPECT_EQ(userString(Msn, "HTTPProxy"), "127.0.0.1");
    EXPECT_EQ(userBinary(Msn, "HTTPPort"), fourBytes(static_cast<DWORD>(m_port)));
    EXPECT_EQ(userDword(Yahoo, "Proxy Enabled"), 1u);
    EXPECT_EQ(userString(Yahoo, "HTTP Proxy"), "127.0.0.1");
    EXPECT_EQ(userDword(Yahoo, "Proxy Port"), static_cast<DWORD>(m_port));
    const std::string mirc = readDos(MircIni);
    EXPECT_TRUE(contains(mirc, "enable=yes")) << mirc;
    EXPECT_TRUE(contains(mirc, "port=" + port)) << mirc;
    EXPECT_TRUE(contains(mirc, "hostname=127.0.0.1")) << mirc;
    const std::string wsFtp = readDos(wsFtpIni());
    EXPECT_TRUE(contains(wsFtp, "HOST=127.0.0.1")) << wsFtp;
    EXPECT_TRUE(contains(wsFtp, "PORT=" + port)) << wsFtp;
    EXPECT_EQ(userString(Cute, "FireHost"), "127.0.0.1");
    EXPECT_EQ(userDword(Cute, "FirePort"), static_cast<DWORD>(m_port));
    EXPECT_EQ(userDword(Cute, "FireType"), 1u);

    exitHost(*host);
    EXPECT_EQ(userDword(IESettings, "ProxyEnable"), 0u);
    EXPECT_TRUE(contains(readDos(prefsJs()), "user_pref(\"network.proxy.type\", 0);"));
    EXPECT_TRUE(contains(readDos(OperaIni), "Use HTTP=0"));
    EXPECT_EQ(userBinary(Msn, "ProxyState"), fourBytes(0));
    EXPECT_EQ(userDword(Yahoo, "Proxy Enabled"), 0u);
    EXPECT_TRUE(contains(readDos(MircIni), "enable=no"));
    EXPECT_FALSE(contains(readDos(wsFtpIni()), "HOST=127.0.0.1"));
    // CuteFTP has no switch: it keeps the local proxy.
    EXPECT_EQ(userDword(Cute, "FirePort"), static_cast<DWORD>(m_port));
    // Every program was found: the component showed no box.
    EXPECT_FALSE(contains(host->err(), "MessageBox [Umbravia Rigwright]")) << host->err();
}

TEST_F(IntegrationEndToEndTest, CtlSwitchesIntegrationInTheRunningHost)
{
    std::unique_ptr<ChildProcess> host = startHost();
    ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
    ASSERT_TRUE(
        testsupport::waitFor([] { return userDword(IESettings, "ProxyEnable") == 1u; }, 20s))
        << host->err();

    EXPECT_EQ(ctl({"integrate", "off"}).exitCode, 0);
    EXPECT_EQ(userDword(IESettings, "ProxyEnable"), 0u);
    EXPECT_EQ(userDword(Yahoo, "Proxy Enabled"), 0u);
    EXPECT_EQ(ctl({"integrate", "on"}).exitCode, 0);
    EXPECT_EQ(userDword(IESettings, "ProxyEnable"), 1u);
    EXPECT_TRUE(contains(readDos(OperaIni), "Use HTTP=1"));

    // Without the component the host changes nothing and says so through the status.
    settings::Key classes = settings::Key::open(HKEY_CLASSES_ROOT, "CLSID", KEY_ALL_ACCESS);
    SHDeleteKey(classes.get(), "{675DCB32-8482-452F-8BDD-5E98C19ED609}");
    const ProcessResult missing = ctl({"integrate", "off"});
    EXPECT_EQ(missing.exitCode, 4) << missing.err;
    EXPECT_EQ(userDword(IESettings, "ProxyEnable"), 1u);
    exitHost(*host);
}

TEST_F(HostProgramTest, ResponsePageSwitchedOnChangesTheNextPageThroughTheProxy)
{
    testsupport::OriginServer origin(testsupport::OriginServer::Mode::Http,
                                     testsupport::uniqueLoopbackAddress());
    origin.setBody([](const std::string&) {
        return std::string("<html><script>steal()</script><p>kept</p></html>");
    });
    // A first start registers the modules; the second finds "Block scripts." stored,
    // with response filtering off.
    {
        std::unique_ptr<ChildProcess> first = startHost();
        ASSERT_NE(waitForMainWindow(*first), 0) << first->err();
        exitHost(*first);
    }
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey).writeDword("BLOCKSCRIPTS", 1);
    std::unique_ptr<ChildProcess> host = startHost();
    const HWND window = waitForMainWindow(*host);
    ASSERT_NE(window, 0) << host->err();
    ASSERT_NE(waitForPage(window, "Filter response"), 0);
    const auto fetch = [&] {
        return testsupport::runProcess({"curl", "-s", "-x", "127.0.0.1:" + std::to_string(m_port),
                                        "-A", IEAgent, "http://" + origin.address() + "/"})
            .out;
    };
    EXPECT_NE(fetch().find("<script>steal()</script>"), std::string::npos);

    // The page action from outside (command 32780): the page ticks "Enable response
    // filtration." and saves itself.
    SendMessage(window, WM_COMMAND, cmd::ResponsePageAction, 0);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, nullptr), 1u);
    const std::string filtered = fetch();
    EXPECT_EQ(filtered.find("<script"), std::string::npos) << filtered;
    EXPECT_NE(filtered.find("<p>kept</p>"), std::string::npos) << filtered;
    exitHost(*host);
}

// Firefox through the real host: served directly (no public proxy is needed), listed by
// name, and with browser shielding and a page option on it neither names itself in
// client hints nor gets a compressed page the response filter cannot read.
TEST_F(HostProgramTest, TodaysBrowserIsServedListedShieldedAndGetsReadablePages)
{
    testsupport::OriginServer origin(testsupport::OriginServer::Mode::Http,
                                     testsupport::uniqueLoopbackAddress());
    origin.setBody([](const std::string&) {
        return std::string("<html><head><title>Secret title</title></head><p>kept</p></html>");
    });
    testsupport::TempDir out;
    const fs::path log = out.path() / "activity.log";
    m_saveAnswer = log.string();
    {
        std::unique_ptr<ChildProcess> first = startHost(); // registers the modules
        ASSERT_NE(waitForMainWindow(*first), 0) << first->err();
        exitHost(*first);
    }
    const settings::Key req = settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey);
    req.writeDword(nullptr, 1);
    req.writeDword("BROWSERSHIELD", 1);
    const settings::Key res = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey);
    res.writeDword(nullptr, 1);
    res.writeDword("HIDEPAGETITLE", 1);
    std::unique_ptr<ChildProcess> host = startHost();
    const HWND window = waitForMainWindow(*host);
    ASSERT_NE(window, 0) << host->err();
    const HWND page = waitForPage(window, "Activity");
    ASSERT_NE(page, 0);

    const auto fetch = [&](const std::string& path) {
        return testsupport::runProcess(
            {"curl", "-s", "-w", "\n%{http_code}", "-x", "127.0.0.1:" + std::to_string(m_port),
             "-A", testsupport::agents::FirefoxLinux, "-H", "Sec-CH-UA: \"Firefox\";v=\"133\"",
             "-H", "sec-ch-ua-platform: \"Linux\"", "-H",
             "Accept-Encoding: gzip, deflate, br, zstd", "http://" + origin.address() + path});
    };
    const ProcessResult served = fetch("/page");
    EXPECT_EQ(served.out, "<html><head><title>            </title></head><p>kept</p></html>\n200")
        << served.err;
    const std::string received = text::lower(origin.received());
    EXPECT_NE(received.find("get /page http/1.1\r\n"), std::string::npos) << received;
    for (const char* header : {"user-agent", "sec-ch-ua", "accept-encoding"}) {
        EXPECT_EQ(received.find(header), std::string::npos) << header << " in\n" << received;
    }
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            SendMessage(page, WM_COMMAND, 1028, 0);
            return fs::exists(log) &&
                   testsupport::readFile(log).find("\t\tFirefox\t") != std::string::npos;
        },
        10s));

    // Switched off, Firefox is no browser: it needs a public proxy, and there is none.
    writeMainDword("MODERNBROWSERS", 0);
    const std::size_t requests = origin.requestCount();
    EXPECT_EQ(fetch("/chained").out, "\n000");
    EXPECT_EQ(origin.requestCount(), requests);
    EXPECT_TRUE(testsupport::waitFor([&] {
        return host->err().find("MessageBox [Umbravia] Failed to connect") != std::string::npos;
    }));
    exitHost(*host);
}

// A proxy whose accept queue is full: a connect to it is never answered.
class SilentHop {
public:
    SilentHop()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 0);
        socklen_t size = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        // One connection fills the queue (a backlog of 0 holds one).
        const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        m_fillers.push_back(filler);
    }
    ~SilentHop()
    {
        for (int s : m_fillers) {
            ::close(s);
        }
        ::close(m_listen);
    }
    int port() const { return m_port; }
    // Whether a connect to it is waiting for an answer (SYN_SENT in /proc/net/tcp).
    bool connectPending() const
    {
        char port[8];
        std::snprintf(port, sizeof port, ":%04X", m_port);
        const std::string table = testsupport::readFile("/proc/net/tcp");
        std::size_t at = 0;
        while ((at = table.find(port, at)) != std::string::npos) {
            at += 5;
            // local address, remote address, state: the remote one is followed by " 02".
            if (table.compare(at, 3, " 02") == 0) {
                return true;
            }
        }
        return false;
    }

private:
    int m_listen = -1;
    int m_port = 0;
    std::vector<int> m_fillers;
};

TEST_F(HostProgramTest, SigtermEndsAHostWhoseChainHopNeverAnswers)
{
    SilentHop hop;
    writeMainDword("ProxyFirewallEnabled", 1);
    writeMainDword("ProxyFirewall", 0x7F000001);
    writeMainDword("ProxyFirePort", static_cast<DWORD>(hop.port()));
    std::unique_ptr<ChildProcess> host = startHost();
    const HWND window = waitForMainWindow(*host);
    ASSERT_NE(window, 0) << host->err();
    // The general page reads the firewall setting; the activity page comes after it.
    ASSERT_NE(waitForPage(window, "Activity"), 0);
    // Read by every build: without the fix the exit waited 10 s, then unloaded Chain.dll
    // under the thread.
    settings::Key chain =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    chain.writeDword("CONNTIMEOUT", 60000);
    chain.writeDword("PATHLENGTH", 0); // the firewall proxy alone: no public proxy needed
    // A client: its setup thread goes through the firewall proxy, in CreateChain.
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in proxy{};
    proxy.sin_family = AF_INET;
    proxy.sin_port = htons(static_cast<uint16_t>(m_port));
    proxy.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&proxy), sizeof proxy), 0);
    // The way out is built once the client has spoken.
    const std::string start = "GET http://example.com/ HTTP/1.1\r\n";
    ASSERT_EQ(::send(client, start.data(), start.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(start.size()));
    ASSERT_TRUE(testsupport::waitFor([&] { return hop.connectPending(); }, 10s)) << host->err();

    const auto signalled = std::chrono::steady_clock::now();
    host->signal(SIGTERM);
    const std::optional<ProcessResult> result = host->wait(30s);
    ASSERT_TRUE(result.has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 5s);
    EXPECT_EQ(result->exitCode, 0) << result->err;
    EXPECT_EQ(result->err.find("did not end"), std::string::npos) << result->err;
    // The build the exit cut short is no firewall problem to report.
    EXPECT_EQ(result->err.find("There are problems"), std::string::npos) << result->err;
    ::close(client);
}

TEST_F(HostProgramTest, ExitWhileFilteredTrafficFlowsEndsCleanly)
{
    testsupport::OriginServer origin(testsupport::OriginServer::Mode::Http,
                                     testsupport::uniqueLoopbackAddress());
    // The filters notify the main window (1212, 1213) with SendMessage from the relay
    // threads; at exit the main thread no longer answers them.
    for (int round = 0; round < 3; ++round) {
        std::unique_ptr<ChildProcess> host = startHost();
        ASSERT_NE(waitForMainWindow(*host), 0) << host->err();
        ASSERT_EQ(ctl({"privacy", "4"}).exitCode, 0);
        std::atomic<bool> stop{false};
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < 8; ++c) {
            clients.emplace_back([&] {
                const std::string request = "GET http://" + origin.address() +
                                            "/x HTTP/1.1\r\nHost: " + origin.address() +
                                            "\r\nUser-Agent: " + IEAgent +
                                            "\r\nCookie: a=b\r\nReferer: http://elsewhere/\r\n\r\n";
                while (!stop.load()) {
                    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
                    sockaddr_in proxy{};
                    proxy.sin_family = AF_INET;
                    proxy.sin_port = htons(static_cast<uint16_t>(m_port));
                    proxy.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                    timeval limit{2, 0};
                    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
                    if (::connect(s, reinterpret_cast<sockaddr*>(&proxy), sizeof proxy) == 0 &&
                        ::send(s, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
                        char buffer[4096];
                        if (::recv(s, buffer, sizeof buffer, 0) > 0) {
                            ++answered;
                        }
                    }
                    ::close(s);
                }
            });
        }
        ASSERT_TRUE(testsupport::waitFor([&] { return answered.load() >= 20; }, 20s));
        const auto signalled = std::chrono::steady_clock::now();
        host->signal(SIGTERM);
        const std::optional<ProcessResult> result = host->wait(30s);
        // A relay thread left waiting for the main window held the exit for 10 s, and
        // Filters.dll was then unloaded under it.
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, 5s) << "round " << round;
        stop = true;
        for (std::thread& client : clients) {
            client.join();
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, 0) << "round " << round << "\n" << result->err;
        EXPECT_EQ(result->err.find("did not end"), std::string::npos) << result->err;
    }
}

TEST_F(HostProgramTest, CtlReportsNoHost)
{
    EXPECT_EQ(ctl({"start"}).exitCode, 1);
    const ProcessResult status = ctl({"status"});
    EXPECT_NE(status.out.find("host: not running"), std::string::npos) << status.out;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
