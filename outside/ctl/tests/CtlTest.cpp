// umbravia-ctl end to end: the test process plays the host (instance-link window, main
// window, named section and started event in its own prefix) and runs the real program
// while its event loop pumps.

#include "TestSupport.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/KernelObjects.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <signal.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Received {
    UINT message;
    WPARAM wParam;
    std::size_t registeredThen; // registered windows when it arrived
};

// The host's main window as far as outside windows see it: keeps the registered list and
// sends the notifications back as the real one does.
class HostWindow : public platform::Window {
public:
    HostWindow() { createWindow(DIALOG_CLASS, hostlink::MainWindowTitle); }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_received.push_back({message, wParam, m_registered.size()});
        const HWND window = static_cast<HWND>(wParam);
        switch (message) {
        case msg::RegisterWindow:
            if (IsWindow(window) &&
                std::find(m_registered.begin(), m_registered.end(), window) == m_registered.end()) {
                m_registered.push_back(window);
            }
            return 0;
        case msg::UnregisterWindow:
            std::erase(m_registered, window);
            return 0;
        case msg::StartProxy:
        case msg::StopProxy:
            notifyAll(msg::ProxyStateChanged, 0);
            return 0;
        case msg::UpdateProxyListViaChain:
            // A refresh that takes its time, when the test asks for one.
            std::this_thread::sleep_for(m_refreshTime);
            return 0;
        case msg::SetPrivacyLevel:
        case msg::SetAnonymityLevel:
            notifyAll(message, wParam);
            return 0;
        case msg::SwitchIntegration:
            return m_integrationRan;
        default:
            return platform::Window::windowProc(message, wParam, lParam);
        }
    }

    // Sends to every registered window and notes whether each send was answered.
    void notifyAll(UINT message, WPARAM wParam)
    {
        for (HWND window : m_registered) {
            SetLastError(ERROR_SUCCESS);
            SendMessage(window, message, wParam, 0);
            m_sendErrors.push_back(GetLastError());
        }
    }

    std::vector<Received> m_received;
    std::vector<HWND> m_registered;
    std::vector<DWORD> m_sendErrors;
    std::chrono::milliseconds m_refreshTime{0};
    LRESULT m_integrationRan = 1; // 0: the host could not create the component
};

class LinkWindow : public platform::Window {
public:
    LinkWindow() { createWindow(hostlink::LinkWindowClass, ""); }
};

template <typename Pred> bool pumpUntil(Pred pred, std::chrono::milliseconds timeout = 10s)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class CtlTest : public testsupport::PrefixTest {
protected:
    ~CtlTest() override
    {
        if (m_section != nullptr) {
            CloseHandle(m_section);
        }
        if (m_event != nullptr) {
            CloseHandle(m_event);
        }
    }

    // The whole host: link window, main window, section with its handle, started event.
    void startHost()
    {
        m_link = std::make_unique<LinkWindow>();
        publishMainWindow();
    }
    void publishMainWindow()
    {
        m_host = std::make_unique<HostWindow>();
        m_section = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(HWND), hostlink::MainWindowSection);
        ASSERT_NE(m_section, nullptr);
        void* view = MapViewOfFile(m_section, FILE_MAP_WRITE, 0, 0, sizeof(HWND));
        ASSERT_NE(view, nullptr);
        const HWND hwnd = m_host->hwnd();
        std::memcpy(view, &hwnd, sizeof hwnd);
        UnmapViewOfFile(view);
        if (m_event == nullptr) {
            m_event = CreateEvent(nullptr, FALSE, FALSE, hostlink::StartedEvent);
        }
        ASSERT_NE(m_event, nullptr);
        SetEvent(m_event);
    }

    testsupport::ProcessOptions options() const
    {
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_PREFIX"] = m_prefix.path().string();
        options.env["QT_QPA_PLATFORM"] = "offscreen";
        return options;
    }
    std::vector<std::string> command(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv{(testsupport::binDir() / "umbravia-ctl").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    // Runs umbravia-ctl to its end while this process answers as the host.
    testsupport::ProcessResult ctl(const std::vector<std::string>& args)
    {
        testsupport::ChildProcess child(command(args), options());
        EXPECT_TRUE(pumpUntil([&] { return !child.running(); })) << "umbravia-ctl did not end";
        std::optional<testsupport::ProcessResult> result = child.wait(1s);
        return result ? *result : testsupport::ProcessResult{};
    }

    // The messages received, without those the host sent itself.
    std::vector<Received> received() const
    {
        return m_host ? m_host->m_received : std::vector<Received>{};
    }

    std::unique_ptr<LinkWindow> m_link;
    std::unique_ptr<HostWindow> m_host;
    HANDLE m_section = nullptr;
    HANDLE m_event = nullptr;
};

struct Expected {
    std::vector<std::string> args;
    UINT message;
    WPARAM wParam;
};

// Checks that a run sent exactly: register, the command, unregister, all with its handle.
void expectOneCommand(const std::vector<Received>& got, const Expected& expected)
{
    const std::string name = expected.args.at(0);
    ASSERT_EQ(got.size(), 3u) << name;
    EXPECT_EQ(got[0].message, msg::RegisterWindow) << name;
    const WPARAM ctlWindow = got[0].wParam;
    EXPECT_NE(ctlWindow, 0u) << name;
    EXPECT_EQ(got[1].message, expected.message) << name;
    EXPECT_EQ(got[1].wParam, expected.wParam) << name;
    EXPECT_EQ(got[1].registeredThen, 1u) << name << " arrived while ctl was registered";
    EXPECT_EQ(got[2].message, msg::UnregisterWindow) << name;
    EXPECT_EQ(got[2].wParam, ctlWindow) << name;
}

TEST_F(CtlTest, EachCommandSendsItsMessageWhileRegistered)
{
    startHost();
    const std::vector<Expected> cases{
        {{"start"}, msg::StartProxy, 0},
        {{"stop"}, msg::StopProxy, 0},
        {{"restart"}, msg::RestartProxy, 0},
        {{"privacy", "0"}, msg::SetPrivacyLevel, 0},
        {{"privacy", "4"}, msg::SetPrivacyLevel, 4},
        {{"anonymity", "2"}, msg::SetAnonymityLevel, 2},
        {{"refresh"}, msg::UpdateProxyListViaChain, 0},
        {{"show"}, msg::RestoreWindow, 0},
        {{"clean"}, WM_COMMAND, cmd::LocalPageAction},
        {{"integrate", "on"}, msg::SwitchIntegration, 1},
        {{"integrate", "off"}, msg::SwitchIntegration, 0},
    };
    for (const Expected& expected : cases) {
        m_host->m_received.clear();
        const testsupport::ProcessResult result = ctl(expected.args);
        EXPECT_EQ(result.exitCode, 0) << expected.args[0] << ": " << result.err;
        EXPECT_EQ(result.out, "") << expected.args[0];
        expectOneCommand(received(), expected);
        EXPECT_TRUE(m_host->m_registered.empty()) << expected.args[0];
    }
}

TEST_F(CtlTest, NotificationsSentBackWhileCtlWaitsAreAnswered)
{
    // The host sends 1215 (and the levels) to ctl while ctl still waits for its own send.
    startHost();
    for (const char* command : {"start", "stop"}) {
        EXPECT_EQ(ctl({command}).exitCode, 0) << command;
    }
    EXPECT_EQ(ctl({"privacy", "3"}).exitCode, 0);
    EXPECT_EQ(ctl({"anonymity", "1"}).exitCode, 0);
    EXPECT_EQ(m_host->m_sendErrors, std::vector<DWORD>(4, ERROR_SUCCESS));
}

TEST_F(CtlTest, AHostThatDoesNotAnswerInTimeIsStatusThree)
{
    startHost();
    m_host->m_refreshTime = 1500ms;
    testsupport::ProcessOptions slow = options();
    slow.env["UMBRAVIA_SEND_TIMEOUT_MS"] = "300";
    testsupport::ChildProcess child(command({"refresh"}), slow);
    ASSERT_TRUE(pumpUntil([&] { return !child.running(); }));
    const std::optional<testsupport::ProcessResult> result = child.wait(1s);
    EXPECT_EQ(result->exitCode, 3);
    EXPECT_NE(result->err.find("umbravia-ctl: Umbravia did not answer 'refresh' within 300 ms"),
              std::string::npos)
        << result->err;
}

TEST_F(CtlTest, ExitLeavesTheListBeforeItAsksTheHostToClose)
{
    startHost();
    const testsupport::ProcessResult result = ctl({"exit"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<Received> got = received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, msg::RegisterWindow);
    EXPECT_EQ(got[1].message, msg::UnregisterWindow);
    EXPECT_EQ(got[1].wParam, got[0].wParam);
    EXPECT_EQ(got[2].message, WM_COMMAND);
    EXPECT_EQ(got[2].wParam, WPARAM{cmd::Exit});
    EXPECT_EQ(got[2].registeredThen, 0u) << "the host would wait for ctl";
}

TEST_F(CtlTest, WithoutAHostNothingIsSentAndTheStatusIsOne)
{
    // A display that cannot be reached does not matter: ctl shows no window.
    testsupport::ProcessOptions noDisplay = options();
    noDisplay.env["DISPLAY"] = ":97";
    noDisplay.env["QT_QPA_PLATFORM"] = "xcb";
    const testsupport::ProcessResult status =
        testsupport::runProcess(command({"status"}), noDisplay);
    EXPECT_EQ(status.exitCode, 1) << status.err;
    EXPECT_EQ(status.out.rfind("host: not running\n", 0), 0u) << status.out;

    for (const char* name : {"start", "exit", "watch"}) {
        const testsupport::ProcessResult result =
            testsupport::runProcess(command({name}), options());
        EXPECT_EQ(result.exitCode, 1) << name;
        EXPECT_NE(result.err.find("umbravia-ctl: Umbravia is not running\n"), std::string::npos)
            << result.err;
    }
}

TEST_F(CtlTest, BadUsageIsStatusTwoAndHelpIsZero)
{
    startHost();
    const std::vector<std::vector<std::string>> bad{
        {},
        {"launch"},
        {"privacy"},
        {"privacy", "5"},
        {"privacy", "-1"},
        {"privacy", "2x"},
        {"privacy", " 2"},
        {"privacy", "0x2"},
        {"anonymity", ""},
        {"anonymity", "99999999999999999999"},
        {"anonymity", "1", "2"},
        {"start", "now"},
        {"START"},
        {"integrate"},
        {"integrate", "yes"},
        {"integrate", "on", "off"},
    };
    for (const std::vector<std::string>& args : bad) {
        const testsupport::ProcessResult result = ctl(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(result.err.find("usage: umbravia-ctl"), std::string::npos) << result.err;
    }
    EXPECT_TRUE(received().empty()) << "a bad command line sends nothing";

    const testsupport::ProcessResult help = ctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: umbravia-ctl COMMAND\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("  watch "), std::string::npos);
}

TEST_F(CtlTest, IntegrateWithoutTheComponentIsStatusFour)
{
    startHost();
    m_host->m_integrationRan = 0;
    const testsupport::ProcessResult result = ctl({"integrate", "on"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("the configuration component is not registered"), std::string::npos)
        << result.err;
    expectOneCommand(received(), {{"integrate"}, msg::SwitchIntegration, 1});
}

TEST_F(CtlTest, IntegrateReportsADesktopTargetThatCouldNotBeSwitched)
{
    startHost();
    m_host->m_integrationRan = msg::IntegrationComponentRan | msg::IntegrationDesktopFailed;
    const testsupport::ProcessResult result = ctl({"integrate", "off"});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_NE(result.err.find("a proxy setting of this desktop could not be switched"),
              std::string::npos)
        << result.err;
    expectOneCommand(received(), {{"integrate"}, msg::SwitchIntegration, 0});
}

TEST_F(CtlTest, IntegrateOffWithoutAHostRestoresNothingWhenNothingIsJournaled)
{
    // No host: 'on' needs one, 'off' restores the desktop from the journal itself.
    const testsupport::ProcessResult on = ctl({"integrate", "on"});
    EXPECT_EQ(on.exitCode, 1) << on.err;
    const testsupport::ProcessResult off = ctl({"integrate", "off"});
    EXPECT_EQ(off.exitCode, 0) << off.err;
    EXPECT_EQ(off.out, "integrate off: Umbravia is not running and no setting of this desktop "
                       "points at it\n");
}

TEST_F(CtlTest, StatusReadsTheSettings)
{
    testsupport::ProcessResult result = ctl({"status"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "host: not running\nACTIVE: unset\nprivacy level: unset\n"
                          "anonymity level: unset\n");

    {
        settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
        ASSERT_TRUE(key.valid());
        EXPECT_EQ(key.writeDword("ACTIVE", 1), ERROR_SUCCESS);
        EXPECT_EQ(key.writeDword("PRIVACYLEVEL", 2), ERROR_SUCCESS);
        EXPECT_EQ(key.writeDword("ANONYMITYLEVEL", 0xFFFFFFFF), ERROR_SUCCESS);
    }
    startHost();
    result = ctl({"status"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "host: running\nACTIVE: 1\nprivacy level: 2\nanonymity level: -1\n");
    EXPECT_TRUE(received().empty()) << "status only reads";
}

TEST_F(CtlTest, WatchPrintsRelayedNotificationsAndEndsOnSigterm)
{
    startHost();
    testsupport::ChildProcess child(command({"watch"}), options());
    ASSERT_TRUE(pumpUntil([&] { return !m_host->m_registered.empty() || !child.running(); }))
        << child.err();
    ASSERT_EQ(m_host->m_registered.size(), 1u) << child.err();
    const HWND watcher = m_host->m_registered[0];
    EXPECT_TRUE(pumpUntil([&] { return child.err().find("watching") != std::string::npos; }));

    PostMessage(watcher, msg::ConnectionActivity, 0, 0);
    PostMessage(watcher, msg::ResponseFiltered, 0, 0);
    PostMessage(watcher, msg::RequestFiltered, 0, 0);
    // Sent messages overtake posted ones: let the posts arrive first.
    const std::string posted = "1214 connection\n1212 response filtered\n1213 request filtered\n";
    EXPECT_TRUE(pumpUntil([&] { return child.out().size() >= posted.size(); }, 5s));
    m_host->notifyAll(msg::ProxyStateChanged, 0);
    m_host->notifyAll(msg::SetPrivacyLevel, 2);
    m_host->notifyAll(msg::SetAnonymityLevel, 0xFFFFFFFF);
    PostMessage(watcher, WM_USER + 7, 0, 0); // not a notification: not printed
    const std::string expected = "1214 connection\n1212 response filtered\n1213 request filtered\n"
                                 "1215 proxy state changed\n1216 privacy level 2\n"
                                 "1217 anonymity level -1\n";
    EXPECT_TRUE(pumpUntil([&] { return child.out().size() >= expected.size(); }, 5s));

    child.signal(SIGTERM);
    ASSERT_TRUE(pumpUntil([&] { return !child.running(); })) << "watch did not end";
    const std::optional<testsupport::ProcessResult> result = child.wait(1s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 0) << result->err;
    EXPECT_EQ(result->out, expected);
    ASSERT_FALSE(received().empty());
    EXPECT_EQ(received().back().message, msg::UnregisterWindow);
    EXPECT_EQ(received().back().wParam, WPARAM{watcher});
    EXPECT_TRUE(m_host->m_registered.empty());
}

TEST_F(CtlTest, WatchEndsOnSigintAndWhenTheHostEnds)
{
    startHost();
    {
        testsupport::ChildProcess child(command({"watch"}), options());
        ASSERT_TRUE(pumpUntil([&] { return !m_host->m_registered.empty() || !child.running(); }));
        child.signal(SIGINT);
        ASSERT_TRUE(pumpUntil([&] { return !child.running(); }));
        EXPECT_EQ(child.wait(1s)->exitCode, 0);
        EXPECT_TRUE(m_host->m_registered.empty());
    }
    testsupport::ChildProcess child(command({"watch"}), options());
    ASSERT_TRUE(pumpUntil([&] { return !m_host->m_registered.empty() || !child.running(); }));
    m_host.reset();
    m_link.reset();
    ASSERT_TRUE(pumpUntil([&] { return !child.running(); })) << "watch outlived the host";
    const std::optional<testsupport::ProcessResult> result = child.wait(1s);
    EXPECT_EQ(result->exitCode, 1);
    EXPECT_NE(result->err.find("umbravia-ctl: Umbravia has ended\n"), std::string::npos)
        << result->err;
}

TEST_F(CtlTest, WatchWhoseReaderGoesAwayUnregistersAndEnds)
{
    startHost();
    // The reader of the pipe ends at once, as "watch | head -1" does after its line.
    const std::string program = command({})[0];
    testsupport::ChildProcess child({"/bin/sh", "-c", "\"$0\" watch | true", program}, options());
    ASSERT_TRUE(pumpUntil([&] { return !m_host->m_registered.empty() || !child.running(); }));
    ASSERT_FALSE(m_host->m_registered.empty()) << child.err();
    // Notify until the watch has noticed (the reader may take a moment to go away).
    ASSERT_TRUE(pumpUntil([&] {
        m_host->notifyAll(msg::ProxyStateChanged, 0);
        return !child.running();
    })) << "watch kept running";
    EXPECT_TRUE(m_host->m_registered.empty()) << "the watch unregistered";
    EXPECT_EQ(child.err().find("Broken pipe"), std::string::npos) << child.err();
}

TEST_F(CtlTest, AStartingHostIsWaitedForUntilItsMainWindowIsThere)
{
    // The link window and the event exist at once; the main window and its section come
    // a little later, with the event's signal.
    m_link = std::make_unique<LinkWindow>();
    m_event = CreateEvent(nullptr, FALSE, FALSE, hostlink::StartedEvent);
    ASSERT_NE(m_event, nullptr);
    testsupport::ChildProcess child(command({"show"}), options());
    pumpUntil([] { return false; }, 300ms);
    ASSERT_TRUE(child.running()) << child.err();
    publishMainWindow();
    ASSERT_TRUE(pumpUntil([&] { return !child.running(); }));
    EXPECT_EQ(child.wait(1s)->exitCode, 0) << child.err();
    expectOneCommand(received(), {{"show"}, msg::RestoreWindow, 0});
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0)
        << "the started event is left signalled for other outside programs";
}

TEST_F(CtlTest, WithoutTheSectionTheMainWindowIsFoundByClassAndTitle)
{
    m_link = std::make_unique<LinkWindow>();
    m_host = std::make_unique<HostWindow>();
    const testsupport::ProcessResult result = ctl({"refresh"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    expectOneCommand(received(), {{"refresh"}, msg::UpdateProxyListViaChain, 0});
}

TEST_F(CtlTest, AHostWhoseMainWindowNeverComesEndsTheWaitWithStatusOne)
{
    m_link = std::make_unique<LinkWindow>();
    const testsupport::ProcessResult result = ctl({"start"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Umbravia runs, but its main window did not appear"),
              std::string::npos)
        << result.err;
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
