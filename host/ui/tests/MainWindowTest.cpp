// The main window in-process: creation steps, the message protocol of outside windows
// (registration, levels, start and stop, exit wait), Apply and close, the navigation and
// the proxy-list refresh, with the test modules Mw*.dll and a real proxy server.

#include "ui/MainWindow.h"

#include "UiTestSupport.h"
#include "core/BrowserLauncher.h"
#include "core/ModuleTable.h"
#include "core/ProxyListRefresh.h"
#include "engine/ProxyControl.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"
#include "ui/AboutPage.h"
#include "ui/ActivityPage.h"
#include "ui/BitmapButton.h"
#include "ui/GeneralPage.h"
#include "ui/LinkLabel.h"
#include "ui/Navigation.h"
#include "ui/NavigationButton.h"
#include "ui/SettingsDialog.h"
#include "ui/Skin.h"
#include "ui/TrayIcon.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/KernelObjects.h>
#include <platform/MessageBox.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using host::ui::MainWindow;
using host::ui::TrayIcon;
using Page = MainWindow::ModulePage;

// What the module pages received, in order: "<page> <message> <wParam>".
std::vector<std::string> g_pageLog;
// Runs while a module creates its page of this name, after the page exists.
std::function<void(PageWindow* parent, const char* name)> g_whilePageCreated;

class RecordingPage : public QWidget, public platform::Window {
public:
    RecordingPage(QWidget* parent, const char* name) : QWidget(parent), m_name(name)
    {
        attachWidget(this);
        setWindowTitle(name);
    }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND || message == msg::PageAction) {
            g_pageLog.push_back(m_name + " " + std::to_string(message) + " " +
                                std::to_string(wParam));
            return 0;
        }
        return Window::windowProc(message, wParam, lParam);
    }

private:
    std::string m_name;
};

PageWindow* makePage(PageWindow* parent, const char* name)
{
    auto* page = new RecordingPage(parent, name);
    if (g_whilePageCreated) {
        g_whilePageCreated(parent, name);
    }
    return page;
}

using MwPageFactory = PageWindow* (*)(PageWindow*, const char*);
using SetFactoryFn = void (*)(MwPageFactory);

fs::path testModule(const std::string& name)
{
    return testsupport::testModulesDir() / ("host_testmodule_" + name) / (name + ".dll");
}

void writeDword(const char* path, const char* name, DWORD value)
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, path);
    ASSERT_TRUE(key);
    ASSERT_EQ(key.writeDword(name, value), ERROR_SUCCESS);
}

std::optional<DWORD> readDword(const char* path, const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, path, name);
}

class MainWindowTest : public testsupport::PrefixTest {
protected:
    MainWindowTest()
    {
        TrayIcon::setTrayAvailableForTests(true);
        g_pageLog.clear();
        g_whilePageCreated = nullptr;
        writeDword(settings::MainKey, "PROXYPORT", static_cast<DWORD>(testsupport::freePort()));
        writeDword(settings::MainKey, "ACTIVE", 0);
        writeDword(settings::MainKey, "ISREGISTERED", 1);
        useListfetch();
    }
    ~MainWindowTest() override
    {
        m_window.reset();
        if (m_server) {
            m_server->Stop();
            m_server->join();
        }
        TrayIcon::setTrayAvailableForTests(std::nullopt);
    }

    // The four slots name the Mw modules.
    void useModules()
    {
        const std::pair<const char*, const char*> entries[] = {{settings::ChainKey, "MwChain"},
                                                               {settings::LocalKey, "MwLocal"},
                                                               {settings::FiltersKey, "MwFilters"},
                                                               {settings::IEExtKey, "MwIEExt"}};
        for (const auto& [key, name] : entries) {
            settings::Key k = settings::Key::create(HKEY_LOCAL_MACHINE, key);
            ASSERT_EQ(k.writeString("PathName", platform::toDosPath(testModule(name)).str()),
                      ERROR_SUCCESS);
        }
    }

    // The Listfetch stand-in where the module search finds it: C:\WINDOWS\system32.
    void useListfetch(const std::string& name = "MwListfetch")
    {
        const fs::path system = m_prefix.driveC() / "WINDOWS" / "system32";
        fs::create_directories(system);
        fs::copy_file(testModule(name), system / "Listfetch.dll",
                      fs::copy_options::overwrite_existing);
    }

    // serverRunning: the proxy listens before the window is built, as after a start with
    // ACTIVE set.
    MainWindow& create(bool hidden = false, bool serverRunning = false)
    {
        // A new window replaces the old one: the server goes before the state it uses.
        m_window.reset();
        m_server.reset();
        m_state.reset();
        m_modules = std::make_unique<host::ModuleTable>();
        EXPECT_EQ(m_modules->load(), host::ModuleTable::LoadOutcome::Loaded);
        for (host::Slot slot : host::SlotOrder) {
            if (auto set = m_modules->lookup<SetFactoryFn>(slot, "FakeSetPageFactory")) {
                set(&makePage);
            }
        }
        m_state = std::make_unique<host::ProxyState>(*m_modules);
        m_server = std::make_unique<host::ProxyServer>(*m_state);
        if (serverRunning) {
            EXPECT_EQ(host::startProxy(*m_server), 1);
        }
        m_window = std::make_unique<MainWindow>(*m_server, *m_state, hidden);
        return *m_window;
    }

    LRESULT send(UINT message, WPARAM wParam = 0)
    {
        return SendMessage(m_window->hwnd(), message, wParam, 0);
    }
    void command(UINT id) { send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0)); }

    std::vector<std::string> moduleLog() const
    {
        std::vector<std::string> lines;
        std::ifstream in(m_prefix.path() / "fake-modules.log");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> listfetchCalls() const
    {
        std::vector<std::string> calls;
        for (const std::string& line : moduleLog()) {
            if (line.rfind("Listfetch", 0) == 0 || line == "Chain UpdateProxyList") {
                calls.push_back(line);
            }
        }
        return calls;
    }

    platform::ScopedScriptedPresenter m_boxes;
    std::unique_ptr<host::ModuleTable> m_modules;
    std::unique_ptr<host::ProxyState> m_state;
    std::unique_ptr<host::ProxyServer> m_server;
    std::unique_ptr<MainWindow> m_window;
};

// --- creation ---------------------------------------------------------------------------

TEST_F(MainWindowTest, CreationTellsTheModulesAndAnnouncesTheWindow)
{
    useModules();
    HANDLE section = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                       hostlink::MainWindowSection);
    HANDLE started = CreateEvent(nullptr, FALSE, FALSE, hostlink::StartedEvent);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(started, nullptr);

    MainWindow& window = create();

    void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 4);
    ASSERT_NE(view, nullptr);
    DWORD stored = 0;
    std::memcpy(&stored, view, sizeof stored);
    UnmapViewOfFile(view);
    EXPECT_EQ(stored, window.hwnd());
    EXPECT_EQ(WaitForSingleObject(started, 0), WAIT_OBJECT_0);
    CloseHandle(section);
    CloseHandle(started);
    EXPECT_EQ(m_state->mainWindow.load(), window.hwnd());

    // Each module is asked for its page count before it creates its pages.
    const std::vector<std::string> expected{
        "Chain SetMainWindow",      "Local SetMainWindow",         "Filters SetMainWindow",
        "IEExt SetMainWindow",      "Chain CreateTabDlg count",    "Chain CreateTabDlg",
        "Local CreateTabDlg count", "Local CreateTabDlg",          "Filters CreateTabDlg count",
        "Filters CreateTabDlg",     "IEExt CreateTabDlg count",    "IEExt CreateTabDlg",
        "Listfetch NetUpdate 0",    "Listfetch UpdateProxyListEx", "Chain UpdateProxyList"};
    EXPECT_EQ(moduleLog(), expected);
    EXPECT_TRUE(m_boxes->calls().empty());
}

// A module page that shows a box while it is created runs a nested loop: what reaches the
// window then (a page's change, the general page's start/stop, the proxy's requests) must
// find a window that has not announced itself yet, or handlers that cope.
TEST_F(MainWindowTest, MessagesDuringPageCreationFindNoHalfBuiltWindow)
{
    useModules();
    const int port = static_cast<int>(*readDword(settings::MainKey, "PROXYPORT"));
    bool requestSeen = false;
    g_whilePageCreated = [&](PageWindow* parent, const char* name) {
        if (std::string(name) != "Chain") {
            return;
        }
        const HWND window = platform::hwndOf(parent);
        m_boxes->setAnswerFunction([&, window](const platform::MessageBoxCall& call) {
            if (call.text != "Invalide registry data") {
                return IDOK; // the proxy's own boxes, from its threads
            }
            PostMessage(window, msg::SettingsModified, 0, 0);
            PostMessage(window, msg::GeneralStartStop, 0, 0);
            // A program's request reaches the proxy while the box is up.
            const int client = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<uint16_t>(port));
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
                const std::string request =
                    "GET http://127.0.0.1:9/ HTTP/1.0\r\nHost: 127.0.0.1:9\r\n"
                    "User-Agent: fetcher/1.0\r\n\r\n";
                ::send(client, request.data(), request.size(), MSG_NOSIGNAL);
                // The proxy ends the connection once it has handled the request.
                requestSeen = testsupport::waitFor(
                    [&] {
                        QCoreApplication::processEvents();
                        char byte = 0;
                        return ::recv(client, &byte, 1, MSG_DONTWAIT) == 0;
                    },
                    std::chrono::milliseconds(10000));
            }
            ::close(client);
            QCoreApplication::processEvents();
            return IDOK;
        });
        MessageBox(window, "Invalide registry data", "Proxy Chain", MB_OK | MB_ICONERROR);
    };

    MainWindow& window = create(false, true);

    EXPECT_TRUE(requestSeen);
    EXPECT_EQ(m_state->mainWindow.load(), window.hwnd());
    // The change reported during creation is kept for Apply.
    EXPECT_TRUE(window.settingsModified());
    EXPECT_TRUE(window.applyButton()->isEnabled());
    ASSERT_NE(window.activityPage(), nullptr);
}

TEST_F(MainWindowTest, IsAFramelessSkinnedDialogShowingTheGeneralPage)
{
    useModules();
    MainWindow& window = create();
    char title[64] = {};
    GetWindowText(window.hwnd(), title, sizeof title);
    EXPECT_STREQ(title, "Umbravia");
    char className[64] = {};
    GetClassName(window.hwnd(), className, sizeof className);
    EXPECT_STREQ(className, "#32770");
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.size(), host::ui::skin::WindowSize);
    EXPECT_FALSE(window.windowIcon().isNull());

    ASSERT_NE(window.generalPage(), nullptr);
    EXPECT_EQ(window.currentPage(), window.generalPage());
    EXPECT_EQ(window.generalPage()->geometry(), host::ui::skin::PageArea);
    EXPECT_TRUE(window.navigation()->isSelected(cmd::ShowGeneral));
    EXPECT_FALSE(window.applyButton()->isEnabled());
    EXPECT_FALSE(window.settingsModified());
    EXPECT_EQ(window.modulePage(Page::Request)->windowTitle(), "Request");
    EXPECT_EQ(window.modulePage(Page::Response)->windowTitle(), "Response");
    for (Page page : {Page::Chain, Page::Request, Page::Response, Page::Local, Page::IEExt}) {
        EXPECT_FALSE(window.modulePage(page)->isVisibleTo(&window));
    }
    ASSERT_NE(window.trayIcon(), nullptr);
    EXPECT_EQ(window.trayIcon()->iconResource(), host::ui::Resources::TrayStopped);
    EXPECT_EQ(window.trayIcon()->menuId(), TrayIcon::NormalMenu);
}

TEST_F(MainWindowTest, BackgroundComesFromTheProgramFolderOfTheMainKey)
{
    const fs::path res = m_prefix.driveC() / "Suite" / "res";
    fs::create_directories(res);
    QImage red(640, 440, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString((res / "back2.bmp").string()), "BMP"));
    settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    ASSERT_EQ(main.writeString("", "C:\\Suite\\Umbravia.exe"), ERROR_SUCCESS);

    MainWindow& window = create();
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(300, 20), QColor(Qt::red));
}

TEST_F(MainWindowTest, MissingBackgroundFileFallsBackToTheArtwork)
{
    settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    ASSERT_EQ(main.writeString("", "C:\\Nowhere\\Umbravia.exe"), ERROR_SUCCESS);
    MainWindow& window = create();
    const QImage shot = window.grab().toImage();
    const QImage artwork = host::ui::Resources::pixmap("back2").toImage();
    ASSERT_FALSE(artwork.isNull());
    EXPECT_EQ(shot.pixelColor(300, 20), artwork.pixelColor(300, 20));
}

// --- registered windows -----------------------------------------------------------------

TEST_F(MainWindowTest, RegisteringTwiceKeepsOneEntryAndDeadWindowsAreDropped)
{
    create();
    uitest::RecordingWindow toolbar;
    auto gone = std::make_unique<uitest::RecordingWindow>();
    send(msg::RegisterWindow, toolbar.hwnd());
    send(msg::RegisterWindow, toolbar.hwnd());
    send(msg::RegisterWindow, gone->hwnd());
    send(msg::RegisterWindow, 987654); // not a window
    EXPECT_EQ(m_state->windows.windows(), (std::vector<HWND>{toolbar.hwnd(), gone->hwnd()}));

    gone.reset();
    send(msg::ResponseFiltered);
    EXPECT_EQ(m_state->windows.windows(), std::vector<HWND>{toolbar.hwnd()});
    send(msg::RequestFiltered);
    EXPECT_TRUE(uitest::pumpUntil([&] {
        return toolbar.received(msg::ResponseFiltered).size() == 1 &&
               toolbar.received(msg::RequestFiltered).size() == 1;
    }));

    send(msg::UnregisterWindow, toolbar.hwnd());
    EXPECT_TRUE(m_state->windows.windows().empty());
}

// --- levels -----------------------------------------------------------------------------

TEST_F(MainWindowTest, AnonymityLevelZeroLeavesTheChainSwitchAlone)
{
    useModules();
    writeDword(settings::ChainKey, "CONNECTCHAIN", 0);
    create();
    uitest::RecordingWindow toolbar;
    send(msg::RegisterWindow, toolbar.hwnd());

    send(msg::SetAnonymityLevel, 0);
    EXPECT_EQ(readDword(settings::MainKey, "ANONYMITYLEVEL"), 0u);
    EXPECT_EQ(readDword(settings::ChainKey, "CONNECTCHAIN"), 0u);

    send(msg::SetAnonymityLevel, 2);
    EXPECT_EQ(readDword(settings::MainKey, "ANONYMITYLEVEL"), 2u);
    EXPECT_EQ(readDword(settings::ChainKey, "CONNECTCHAIN"), 1u);

    const auto told = toolbar.received(msg::SetAnonymityLevel);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].wParam, 0u);
    EXPECT_EQ(told[1].wParam, 2u);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, PrivacyLevelSwitchesBothFiltersOn)
{
    useModules();
    writeDword(settings::RequestKey, "", 0);
    writeDword(settings::ResponseKey, "", 0);
    create();
    uitest::RecordingWindow toolbar;
    send(msg::RegisterWindow, toolbar.hwnd());

    send(msg::SetPrivacyLevel, 0);
    EXPECT_EQ(readDword(settings::MainKey, "PRIVACYLEVEL"), 0u);
    EXPECT_EQ(readDword(settings::RequestKey, ""), 0u);

    send(msg::SetPrivacyLevel, 1);
    EXPECT_EQ(readDword(settings::MainKey, "PRIVACYLEVEL"), 1u);
    EXPECT_EQ(readDword(settings::RequestKey, ""), 1u);
    EXPECT_EQ(readDword(settings::ResponseKey, ""), 1u);
    ASSERT_EQ(toolbar.received(msg::SetPrivacyLevel).size(), 2u);
    EXPECT_EQ(toolbar.received(msg::SetPrivacyLevel)[1].wParam, 1u);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, LevelsWithMissingKeysShowTheirTexts)
{
    create();
    // No module keys: the follow-up switches have nowhere to go.
    send(msg::SetAnonymityLevel, 1);
    send(msg::SetPrivacyLevel, 1);
    EXPECT_EQ(readDword(settings::MainKey, "ANONYMITYLEVEL"), 1u);
    EXPECT_EQ(readDword(settings::MainKey, "PRIVACYLEVEL"), 1u);
    auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, "Invalide registry data");
    EXPECT_EQ(calls[0].caption, "Proxy Chain Settings");
    EXPECT_EQ(calls[1].text, "Invalide registry data");
    EXPECT_EQ(calls[1].caption, "Response Filteration");
    EXPECT_EQ(calls[2].text, "Invalide registry data");
    EXPECT_EQ(calls[2].caption, "Request Filteration");
    for (const auto& call : calls) {
        EXPECT_EQ(call.icon(), MB_ICONERROR);
    }

    // Without the main key nothing is written and nothing more is tried.
    m_boxes->clear();
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::MainKey), ERROR_SUCCESS);
    send(msg::SetAnonymityLevel, 2);
    send(msg::SetPrivacyLevel, 2);
    calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Inavlid registry data");
    EXPECT_EQ(calls[0].caption, "Umbravia");
    EXPECT_EQ(calls[1].text, "Inavlis registry data");
    EXPECT_EQ(calls[1].caption, "Umbravia");
    EXPECT_FALSE(readDword(settings::MainKey, "ANONYMITYLEVEL"));
}

// --- start, stop, restart ---------------------------------------------------------------

TEST_F(MainWindowTest, StartAndStopTellTheRegisteredWindowsAndWriteActive)
{
    useModules();
    MainWindow& window = create();
    uitest::RecordingWindow toolbar;
    send(msg::RegisterWindow, toolbar.hwnd());

    send(msg::StartProxy);
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_EQ(readDword(settings::MainKey, "ACTIVE"), 1u);
    EXPECT_EQ(toolbar.received(msg::ProxyStateChanged).size(), 1u);
    EXPECT_EQ(window.trayIcon()->iconResource(), host::ui::Resources::TrayRunning);

    // A start while it runs is no failure.
    send(msg::StartProxy);
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_EQ(toolbar.received(msg::ProxyStateChanged).size(), 2u);

    send(msg::StopProxy);
    EXPECT_FALSE(m_server->IsRunning());
    EXPECT_EQ(readDword(settings::MainKey, "ACTIVE"), 0u);
    EXPECT_EQ(toolbar.received(msg::ProxyStateChanged).size(), 3u);
    EXPECT_EQ(window.trayIcon()->iconResource(), host::ui::Resources::TrayStopped);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, RestartListensOnTheNewPort)
{
    useModules();
    create();
    send(msg::StartProxy);
    ASSERT_TRUE(m_server->IsRunning());
    const int newPort = testsupport::freePort();
    writeDword(settings::MainKey, "PROXYPORT", static_cast<DWORD>(newPort));
    send(msg::RestartProxy);
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_EQ(m_server->port(), newPort);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, GeneralStartStopGoesThroughTheGeneralPage)
{
    useModules();
    create();
    send(msg::GeneralStartStop);
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_EQ(readDword(settings::MainKey, "ACTIVE"), 1u);
    send(msg::GeneralStartStop);
    EXPECT_FALSE(m_server->IsRunning());
    EXPECT_EQ(readDword(settings::MainKey, "ACTIVE"), 0u);
}

// Occupies the port on 127.0.0.1 (the socket stays open until the process ends).
void takePort(int port)
{
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<unsigned short>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(taken, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(taken, 1) != 0) {
        std::exit(3);
    }
}

// A start that fails (the port is taken) ends the host after its message.
TEST_F(MainWindowTest, FailedStartEndsTheProcessWithCodeZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    useModules();
    const int port = testsupport::freePort();
    writeDword(settings::MainKey, "PROXYPORT", static_cast<DWORD>(port));
    const auto start = [&] {
        takePort(port);
        platform::setMessageBoxPresenter(std::make_shared<platform::HeadlessPresenter>());
        create();
        send(msg::StartProxy);
        std::exit(4); // not reached
    };
    EXPECT_EXIT(start(), ::testing::ExitedWithCode(0),
                "MessageBox \\[Umbravia\\] Failed to restart proxy server");
}

// A restart onto a port another program holds ends the host after the same message.
TEST_F(MainWindowTest, FailedRestartEndsTheProcessWithCodeZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    useModules();
    const auto restart = [&] {
        platform::setMessageBoxPresenter(std::make_shared<platform::HeadlessPresenter>());
        create();
        send(msg::StartProxy);
        const int port = testsupport::freePort();
        takePort(port);
        writeDword(settings::MainKey, "PROXYPORT", static_cast<DWORD>(port));
        send(msg::RestartProxy);
        std::exit(4); // not reached
    };
    EXPECT_EXIT(restart(), ::testing::ExitedWithCode(0),
                "MessageBox \\[Umbravia\\] Failed to restart proxy server");
}

// --- exit -------------------------------------------------------------------------------

TEST_F(MainWindowTest, ExitWaitsForARegisteredWindowAndEndsWhenItGoes)
{
    MainWindow& window = create();
    window.show();
    auto toolbar = std::make_unique<uitest::RecordingWindow>();
    send(msg::RegisterWindow, toolbar->hwnd());

    command(cmd::Exit);
    EXPECT_FALSE(window.ended());
    EXPECT_TRUE(window.waitingToExit());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.trayIcon()->menuId(), TrayIcon::ClosingMenu);
    EXPECT_FALSE(uitest::pumpUntil([&] { return window.ended(); }, std::chrono::milliseconds(300)));

    toolbar.reset();
    EXPECT_TRUE(uitest::pumpUntil([&] { return window.ended(); }, std::chrono::milliseconds(2000)));
    EXPECT_FALSE(window.waitingToExit());
}

TEST_F(MainWindowTest, CancelExitKeepsTheWindowRunning)
{
    MainWindow& window = create();
    auto toolbar = std::make_unique<uitest::RecordingWindow>();
    send(msg::RegisterWindow, toolbar->hwnd());
    command(cmd::Exit);
    ASSERT_TRUE(window.waitingToExit());

    send(msg::CancelExit);
    EXPECT_FALSE(window.waitingToExit());
    EXPECT_EQ(window.trayIcon()->menuId(), TrayIcon::NormalMenu);
    toolbar.reset();
    EXPECT_FALSE(uitest::pumpUntil([&] { return window.ended(); }, std::chrono::milliseconds(300)));
}

TEST_F(MainWindowTest, ExitWithoutRegisteredWindowsEndsAtOnce)
{
    MainWindow& window = create();
    send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_TRUE(window.ended());
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, RunShowsTheWindowUnlessStartedHidden)
{
    for (bool hidden : {false, true}) {
        m_window.reset();
        MainWindow& window = create(hidden);
        bool visible = !hidden;
        QTimer::singleShot(0, &window, [&] {
            visible = window.isVisible();
            PostMessage(window.hwnd(), WM_COMMAND, cmd::Exit, 0);
        });
        window.run();
        EXPECT_TRUE(window.ended());
        EXPECT_EQ(visible, !hidden) << "hidden " << hidden;
        EXPECT_TRUE(window.trayIcon()->isShown());
    }
}

// --- apply and close --------------------------------------------------------------------

TEST_F(MainWindowTest, ApplySendsOkToTheModulePagesInOrder)
{
    useModules();
    MainWindow& window = create();
    send(msg::SettingsModified);
    EXPECT_TRUE(window.settingsModified());
    EXPECT_TRUE(window.applyButton()->isEnabled());

    command(cmd::Apply);
    const std::vector<std::string> expected{"Chain 273 1", "Request 273 1", "Response 273 1",
                                            "Local 273 1", "IEExt 273 1"};
    EXPECT_EQ(g_pageLog, expected);
    EXPECT_FALSE(window.settingsModified());
    EXPECT_FALSE(window.applyButton()->isEnabled());
}

TEST_F(MainWindowTest, PageActionCommandsReachTheirPages)
{
    useModules();
    create();
    for (UINT id : {cmd::ChainPageAction, cmd::RequestPageAction, cmd::ResponsePageAction,
                    cmd::LocalPageAction}) {
        command(id);
    }
    const std::vector<std::string> expected{"Chain 1124 0", "Request 1124 0", "Response 1124 0",
                                            "Local 1124 0"};
    EXPECT_EQ(g_pageLog, expected);
}

TEST_F(MainWindowTest, CloseAfterAChangeAsksAndCancelKeepsRunning)
{
    useModules();
    MainWindow& window = create();
    send(msg::SettingsModified);
    m_boxes->queueAnswer(IDCANCEL);
    command(cmd::Close);
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    const auto question = m_boxes->calls()[0];
    EXPECT_EQ(question.text, "Would you like to save settings?");
    EXPECT_EQ(question.caption, "Save Settings");
    EXPECT_EQ(question.buttons(), static_cast<UINT>(MB_YESNOCANCEL));
    EXPECT_EQ(question.icon(), MB_ICONQUESTION);
    EXPECT_FALSE(window.ended());
    EXPECT_TRUE(window.settingsModified());
    EXPECT_TRUE(g_pageLog.empty());

    m_boxes->queueAnswer(IDNO);
    command(cmd::Close);
    EXPECT_TRUE(window.ended());
    ASSERT_EQ(m_boxes->calls().size(), 3u);
    EXPECT_EQ(m_boxes->calls()[2].text, "Remember to restart your browser or any program that "
                                        "may be using Umbravia before using it again");
    EXPECT_EQ(m_boxes->calls()[2].caption, "Umbravia");
    EXPECT_EQ(m_boxes->calls()[2].icon(), MB_ICONINFORMATION);
    EXPECT_TRUE(g_pageLog.empty());

    // An exit request that arrives after the end asks nothing more.
    command(cmd::Exit);
    command(cmd::Close);
    EXPECT_EQ(m_boxes->calls().size(), 3u);
}

TEST_F(MainWindowTest, CloseAnsweredYesAppliesFirst)
{
    useModules();
    MainWindow& window = create();
    send(msg::SettingsModified);
    m_boxes->queueAnswer(IDYES);
    command(cmd::Close);
    EXPECT_TRUE(window.ended());
    EXPECT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(g_pageLog.size(), 5u);
}

TEST_F(MainWindowTest, CloseWithoutChangesEndsWithoutAsking)
{
    MainWindow& window = create();
    command(cmd::Close);
    EXPECT_TRUE(window.ended());
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, SettingsCommandOpensTheSettingsDialogModally)
{
    MainWindow& window = create();
    QString shown;
    QTimer::singleShot(0, &window, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = modal->windowTitle();
            modal->close();
        }
    });
    command(cmd::Settings);
    EXPECT_EQ(shown, host::ui::SettingsDialog::Caption);
    EXPECT_FALSE(window.ended());
}

// --- navigation and pages ---------------------------------------------------------------

TEST_F(MainWindowTest, NavigationGroupsOpenUnderTheirEntriesAndShowTheirPages)
{
    useModules();
    MainWindow& window = create();
    host::ui::Navigation& nav = *window.navigation();
    const int activityTop = nav.button(cmd::ShowActivity)->y();
    EXPECT_EQ(nav.button(cmd::ShowGeneral)->pos(), host::ui::skin::NavigationOrigin);
    EXPECT_FALSE(nav.button(cmd::ShowChainPage)->isVisibleTo(&window));

    command(cmd::ToggleProxyGroup);
    EXPECT_EQ(nav.expanded(), host::ui::Navigation::Group::Proxy);
    EXPECT_EQ(window.currentPage(), window.modulePage(Page::Chain));
    EXPECT_EQ(window.currentPage()->geometry(), host::ui::skin::PageArea);
    EXPECT_TRUE(nav.isSelected(cmd::ToggleProxyGroup));
    EXPECT_TRUE(nav.isSelected(cmd::ShowChainPage));
    EXPECT_FALSE(window.generalPage()->isVisibleTo(&window));
    int previous = nav.button(cmd::ToggleProxyGroup)->y();
    for (UINT id : {cmd::ShowChainPage, cmd::ShowResponsePage, cmd::ShowRequestPage,
                    cmd::ShowLocalPage, cmd::ShowIEExtPage}) {
        EXPECT_TRUE(nav.button(id)->isVisibleTo(&window));
        EXPECT_GT(nav.button(id)->y(), previous);
        previous = nav.button(id)->y();
    }
    EXPECT_GT(nav.button(cmd::ShowActivity)->y(), previous);
    EXPECT_GT(nav.button(cmd::ShowActivity)->y(), activityTop);

    command(cmd::ShowRequestPage);
    EXPECT_EQ(window.currentPage(), window.modulePage(Page::Request));
    EXPECT_FALSE(nav.isSelected(cmd::ShowChainPage));
    EXPECT_TRUE(nav.isSelected(cmd::ShowRequestPage));

    command(cmd::ToggleAboutGroup);
    EXPECT_EQ(nav.expanded(), host::ui::Navigation::Group::About);
    EXPECT_EQ(window.currentPage(), window.aboutPage());
    EXPECT_FALSE(nav.button(cmd::ShowChainPage)->isVisibleTo(&window));
    EXPECT_TRUE(nav.button(cmd::OpenWebSite)->isVisibleTo(&window));
    EXPECT_EQ(nav.button(cmd::ShowActivity)->y(), activityTop);
    // Help opens its viewer (none here) and leaves the about entries selected.
    nav.button(cmd::OpenHelp)->click();
    uitest::pumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_FALSE(nav.isSelected(cmd::OpenHelp));
    EXPECT_TRUE(nav.isSelected(cmd::ShowAbout));
    EXPECT_EQ(window.currentPage(), window.aboutPage());

    command(cmd::ShowActivity);
    EXPECT_EQ(window.currentPage(), window.activityPage());
    command(cmd::ShowGeneral);
    EXPECT_EQ(nav.expanded(), host::ui::Navigation::Group::None);
    EXPECT_EQ(window.currentPage(), window.generalPage());
    EXPECT_TRUE(window.generalPage()->isVisibleTo(&window));
    EXPECT_FALSE(window.activityPage()->isVisibleTo(&window));
}

TEST_F(MainWindowTest, EntryWithoutAModulePageKeepsThePageShown)
{
    MainWindow& window = create();
    command(cmd::ToggleProxyGroup);
    command(cmd::ShowLocalPage);
    EXPECT_EQ(window.currentPage(), window.generalPage());
}

TEST_F(MainWindowTest, NewRequestAddsAnActivityEntry)
{
    MainWindow& window = create();
    m_state->lastRequest.captureUserAgent(
        "GET http://www.example.com/ HTTP/1.0\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE "
        "6.0; Windows NT 5.1)\r\n\r\n");
    m_state->lastRequest.setClientPort(1234);
    m_state->lastRequest.setDestination("www.example.com");
    m_state->notifyNewRequest();
    EXPECT_TRUE(uitest::pumpUntil([&] { return window.activityPage()->counter() == 1; }));
}

TEST_F(MainWindowTest, MinimiseHidesAndTheTrayDoubleClickRestores)
{
    MainWindow& window = create();
    window.show();
    command(cmd::Minimise);
    EXPECT_FALSE(window.isVisible());
    send(msg::TrayNotify, TrayIcon::IconId);
    SendMessage(window.hwnd(), msg::TrayNotify, TrayIcon::IconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    window.hide();
    send(msg::RestoreWindow);
    EXPECT_TRUE(window.isVisible());

    window.hide();
    command(cmd::AboutFromTray);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.currentPage(), window.aboutPage());
}

// Without a notification area (stock GNOME, the offscreen platform) nothing could bring a
// hidden window back: minimise and the "+Tray" start leave it minimised on the task bar.
TEST_F(MainWindowTest, WithoutATrayMinimiseAndTheTrayStartKeepTheWindowReachable)
{
    TrayIcon::setTrayAvailableForTests(false);
    MainWindow& window = create();
    window.show();
    command(cmd::Minimise);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    send(msg::RestoreWindow);
    EXPECT_FALSE(window.isMinimized());

    MainWindow& hidden = create(true);
    bool visible = false;
    bool minimised = false;
    QTimer::singleShot(0, &hidden, [&] {
        visible = hidden.isVisible();
        minimised = hidden.isMinimized();
        PostMessage(hidden.hwnd(), WM_COMMAND, cmd::Exit, 0);
    });
    hidden.run();
    EXPECT_TRUE(visible);
    EXPECT_TRUE(minimised);
}

TEST_F(MainWindowTest, DraggingAnyPointMovesTheWindow)
{
    MainWindow& window = create();
    window.move(100, 100);
    window.show();
    const QPoint start = window.pos();
    const QPointF local(300, 20);
    const QPointF global = QPointF(window.mapToGlobal(local.toPoint()));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    QMouseEvent move(QEvent::MouseMove, local, global + QPointF(40, 25), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global + QPointF(40, 25), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &release);
    EXPECT_EQ(window.pos(), start + QPoint(40, 25));
}

TEST_F(MainWindowTest, WebSiteCommandOpensTheSiteThroughTheBrowser)
{
    ASSERT_TRUE(host::installBrowserLauncher(testsupport::binDir()).ok());
    testsupport::TempDir scratch;
    const fs::path opened = scratch.path() / "opened.txt";
    const fs::path opener = scratch.path() / "opener.sh";
    testsupport::writeFile(opener, "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() + "'\n");
    fs::permissions(opener, fs::perms::owner_all);
    ::setenv("UMBRAVIA_OPEN_COMMAND", opener.c_str(), 1);

    create();
    command(cmd::OpenWebSite);
    const bool done = testsupport::waitFor([&] {
        return fs::exists(opened) &&
               testsupport::readFile(opened) == host::ui::LinkLabel::WebSiteAddress;
    });
    ::unsetenv("UMBRAVIA_OPEN_COMMAND");
    EXPECT_TRUE(done);
}

// --- proxy-list refresh -----------------------------------------------------------------

TEST_F(MainWindowTest, RefreshEveryThirtyMinutesWithoutStartupRefresh)
{
    useModules();
    writeDword(settings::ChainKey, "UPDATEEVERY", 1);
    writeDword(settings::ChainKey, "UPDATEATSTARTUP", 0);
    MainWindow& window = create();
    EXPECT_EQ(window.refreshPeriod(), 30u * 60 * 1000);
    const std::vector<std::string> expected{"Listfetch NetUpdate 0", "Listfetch UpdateProxyListEx",
                                            "Chain UpdateProxyList"};
    EXPECT_EQ(listfetchCalls(), expected);
    // A tick of the timer refreshes from the network; the Chain module is not asked.
    send(WM_TIMER, MainWindow::RefreshTimer);
    EXPECT_EQ(listfetchCalls().size(), 5u);
    EXPECT_EQ(listfetchCalls()[3], "Listfetch NetUpdate 1");
    EXPECT_EQ(listfetchCalls()[4], "Listfetch UpdateProxyListEx");
    EXPECT_EQ(host::ProxyListRefresh::periodFor(0), 15u * 60 * 1000);
    EXPECT_EQ(host::ProxyListRefresh::periodFor(2), 60u * 60 * 1000);
    EXPECT_EQ(host::ProxyListRefresh::periodFor(3), std::nullopt);
}

TEST_F(MainWindowTest, RefreshAtStartupRunsOnceAndSetsNoTimer)
{
    useModules();
    writeDword(settings::ChainKey, "UPDATEEVERY", 1);
    writeDword(settings::ChainKey, "UPDATEATSTARTUP", 1);
    MainWindow& window = create();
    EXPECT_EQ(window.refreshPeriod(), std::nullopt);
    const std::vector<std::string> expected{
        "Listfetch NetUpdate 0", "Listfetch UpdateProxyListEx", "Chain UpdateProxyList",
        "Listfetch NetUpdate 1", "Listfetch UpdateProxyListEx", "Chain UpdateProxyList"};
    EXPECT_EQ(listfetchCalls(), expected);
}

TEST_F(MainWindowTest, FirstRunRefreshesFromTheNetworkAndMarksTheRun)
{
    useModules();
    writeDword(settings::MainKey, "ISREGISTERED", 0);
    MainWindow& window = create();
    EXPECT_EQ(readDword(settings::MainKey, "ISREGISTERED"), 1u);
    EXPECT_EQ(window.refreshPeriod(), std::nullopt); // no UPDATEEVERY
    const std::vector<std::string> expected{"Listfetch NetUpdate 1", "Listfetch UpdateProxyListEx",
                                            "Chain UpdateProxyList"};
    EXPECT_EQ(listfetchCalls(), expected);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(MainWindowTest, RefreshOnRequestAndThroughTheChain)
{
    useModules();
    create();
    const std::size_t before = listfetchCalls().size();
    send(msg::RefreshProxyList);
    send(msg::UpdateProxyListViaChain);
    send(msg::UpdateProxyListNow);
    std::vector<std::string> calls = listfetchCalls();
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(before));
    const std::vector<std::string> expected{"Listfetch NetUpdate 1", "Listfetch UpdateProxyListEx",
                                            "Chain UpdateProxyList", "Chain UpdateProxyList"};
    EXPECT_EQ(calls, expected);
}

TEST_F(MainWindowTest, MissingListfetchIsReportedAtStartAndOnRequest)
{
    useModules();
    fs::remove(m_prefix.driveC() / "WINDOWS" / "system32" / "Listfetch.dll");
    writeDword(settings::ChainKey, "UPDATEEVERY", 1);
    MainWindow& window = create();
    EXPECT_EQ(window.refreshPeriod(), std::nullopt);
    EXPECT_FALSE(window.proxyListRefresh().loaded());
    send(msg::RefreshProxyList);
    send(msg::UpdateProxyListViaChain);
    const auto calls = m_boxes->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, "Failed To Load Listfetch.dll");
    EXPECT_EQ(calls[1].text, "Failed To Load Listfetch DLL");
    EXPECT_EQ(calls[2].text, "Failed To Load Listfetch DLL");
    for (const auto& call : calls) {
        EXPECT_EQ(call.caption, "Umbravia");
        EXPECT_EQ(call.icon(), MB_ICONERROR);
    }
    // Only the Chain module's own reloads ran.
    EXPECT_EQ(listfetchCalls(), std::vector<std::string>{"Chain UpdateProxyList"});
}

TEST_F(MainWindowTest, ListfetchWithoutUpdateIsReported)
{
    useListfetch("MwListfetchNoUpdate");
    MainWindow& window = create();
    EXPECT_TRUE(window.proxyListRefresh().loaded());
    EXPECT_FALSE(window.proxyListRefresh().canUpdate());
    send(msg::RefreshProxyList);
    EXPECT_EQ(m_boxes->texts(),
              (std::vector<std::string>{"Failed Update Proxy List", "Failed Update Proxy List"}));
    EXPECT_TRUE(listfetchCalls().empty()); // NetUpdate alone is never called
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
