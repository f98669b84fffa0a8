// Windows and messages within one process: posting, sending across threads, commands,
// nested loops, plain windows of registered classes, widgets with handles.

#include "WindowsTestSupport.h"

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <future>

using namespace std::chrono_literals;
using wintest::pumpUntil;
using wintest::RecordingWindow;

namespace {

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;

// A thread with a Qt event loop that owns windows made on it.
class WindowThread {
public:
    WindowThread()
    {
        m_thread = std::thread([this] {
            QEventLoop loop;
            {
                std::lock_guard lock(m_mutex);
                m_loop = &loop;
            }
            m_ready.notify_all();
            loop.exec();
            std::lock_guard lock(m_mutex);
            m_loop = nullptr;
            m_windows.clear(); // destroyed on their own thread
        });
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return m_loop != nullptr; });
    }
    ~WindowThread() { stop(); }

    // Makes a window on the thread and returns its handle.
    HWND makeWindow(RecordingWindow::Handler handler = {})
    {
        std::promise<HWND> made;
        QMetaObject::invokeMethod(
            m_loop,
            [&] {
                auto window = std::make_unique<RecordingWindow>("WorkerWnd", "", handler);
                HWND hwnd = window->hwnd();
                m_windows.push_back(std::move(window));
                made.set_value(hwnd);
            },
            Qt::QueuedConnection);
        return made.get_future().get();
    }
    RecordingWindow& window(std::size_t i) { return *m_windows.at(i); }
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_loop != nullptr) {
                QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    DWORD id() const { return m_id; }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    QEventLoop* m_loop = nullptr;
    std::vector<std::unique_ptr<RecordingWindow>> m_windows;
    std::thread m_thread;
    DWORD m_id = 0;
};

class MessagesTest : public testsupport::PrefixTest {};

} // namespace

TEST_F(MessagesTest, PostedMessagesArriveInOrderOnTheOwningThread)
{
    RecordingWindow window;
    ASSERT_NE(window.hwnd(), 0u);
    for (WPARAM i = 0; i < 50; ++i) {
        ASSERT_TRUE(PostMessage(window.hwnd(), kPing, i, -static_cast<LPARAM>(i)));
    }
    EXPECT_EQ(window.count(kPing), 0u) << "posting must not call the handler directly";
    ASSERT_TRUE(pumpUntil([&] { return window.count(kPing) == 50; }));
    auto got = window.received(kPing);
    for (WPARAM i = 0; i < 50; ++i) {
        EXPECT_EQ(got[i].wParam, i);
        EXPECT_EQ(got[i].lParam, -static_cast<LPARAM>(i));
        EXPECT_EQ(got[i].threadId, GetCurrentThreadId());
    }
}

TEST_F(MessagesTest, SendOnTheOwningThreadCallsTheHandlerAtOnce)
{
    RecordingWindow window("W", "", [](UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == kPing ? static_cast<LRESULT>(w) * 10 + l : 0;
    });
    EXPECT_EQ(SendMessage(window.hwnd(), kPing, 4, 2), 42);
    EXPECT_EQ(window.count(kPing), 1u);
}

TEST_F(MessagesTest, SendFromAnotherThreadWaitsForTheOwnerAndGetsTheResult)
{
    std::atomic<bool> handled{false};
    RecordingWindow window("W", "", [&](UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m != kPing) {
            return 0;
        }
        handled = true;
        return static_cast<LRESULT>(w + 1);
    });
    auto result = std::async(std::launch::async, [&] {
        LRESULT r = SendMessage(window.hwnd(), kPing, 41, 0);
        // The sender returns only after the handler ran.
        return std::make_pair(r, handled.load());
    });
    ASSERT_TRUE(pumpUntil([&] { return result.wait_for(0s) == std::future_status::ready; }));
    auto [r, wasHandled] = result.get();
    EXPECT_EQ(r, 42);
    EXPECT_TRUE(wasHandled);
    EXPECT_EQ(window.received(kPing).at(0).threadId, GetCurrentThreadId());
}

TEST_F(MessagesTest, TwoThreadsSendingToEachOtherDoNotLockUp)
{
    RecordingWindow mainWindow("Main", "", [](UINT m, WPARAM w, LPARAM) -> LRESULT {
        return m == kPong ? static_cast<LRESULT>(w * 2) : 0;
    });
    WindowThread worker;
    HWND mainHwnd = mainWindow.hwnd();
    // The worker's handler sends back to the main window while the main thread is
    // still waiting for the worker's answer.
    HWND workerHwnd = worker.makeWindow([mainHwnd](UINT m, WPARAM w, LPARAM) -> LRESULT {
        return m == kPing ? SendMessage(mainHwnd, kPong, w, 0) + 1 : 0;
    });
    EXPECT_EQ(SendMessage(workerHwnd, kPing, 20, 0), 41);
    EXPECT_EQ(mainWindow.count(kPong), 1u);
}

TEST_F(MessagesTest, PostsFromManyThreadsKeepEachThreadsOrder)
{
    RecordingWindow window;
    HWND hwnd = window.hwnd();
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([hwnd, t] {
            for (int i = 0; i < kEach; ++i) {
                PostMessage(hwnd, kPing, static_cast<WPARAM>(t), i);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    ASSERT_TRUE(pumpUntil([&] { return window.count(kPing) == kThreads * kEach; }));
    std::vector<LPARAM> last(kThreads, -1);
    for (const auto& r : window.received(kPing)) {
        EXPECT_EQ(r.lParam, last[r.wParam] + 1);
        last[r.wParam] = r.lParam;
    }
}

TEST_F(MessagesTest, GoneWindowsRefusePostsAndSends)
{
    HWND hwnd;
    {
        RecordingWindow window;
        hwnd = window.hwnd();
        EXPECT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessage(hwnd, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SendMessage(hwnd, kPing, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(0));
}

TEST_F(MessagesTest, MessagesPostedBeforeTheWindowGoesAreDropped)
{
    auto window = std::make_unique<RecordingWindow>();
    HWND hwnd = window->hwnd();
    ASSERT_TRUE(PostMessage(hwnd, kPing, 1, 0));
    window.reset();
    wintest::pumpFor(20ms); // must not reach the destroyed object
    RecordingWindow other;
    EXPECT_NE(other.hwnd(), hwnd) << "handles are not reused at once";
}

TEST_F(MessagesTest, ButtonClicksArriveAsCommandsWithTheControlId)
{
    RecordingWindow window;
    QPushButton button("Apply");
    window.bindCommand(&button, 1017);
    button.click();
    auto commands = window.received(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 1017);
    EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
}

TEST_F(MessagesTest, HandlersRunningAModalDialogStillReceivePostedMessages)
{
    std::atomic<int> inner{0};
    HWND self = 0;
    RecordingWindow window("W", "", [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == kPing) {
            QDialog dialog;
            PostMessage(self, kPong, 0, 0);
            PostMessage(self, kPong, 0, 0);
            QTimer::singleShot(5000, &dialog, &QDialog::reject); // never hang the test
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
                if (inner == 2) {
                    dialog.accept();
                }
            });
            poll.start(1);
            dialog.exec();
        } else if (m == kPong) {
            ++inner;
        }
        return 0;
    });
    self = window.hwnd();
    PostMessage(self, kPing, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return window.count(kPing) == 1 && inner == 2; }));
}

TEST_F(MessagesTest, QuitMessageEndsTheRunningLoopWithItsCode)
{
    RecordingWindow window("W", "", [](UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == kPing) {
            PostQuitMessage(static_cast<int>(w));
        }
        return 0;
    });
    PostMessage(window.hwnd(), kPing, 7, 0);
    QTimer guard; // never hang the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 7);
}

namespace {
std::atomic<int> g_creates{0};
std::atomic<int> g_destroys{0};
LRESULT plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCT*>(lParam);
        ++g_creates;
        return create->lpCreateParams == nullptr ? 0 : -1;
    }
    if (message == WM_DESTROY) {
        ++g_destroys;
    }
    if (message == kPing) {
        return 99;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}
} // namespace

TEST_F(MessagesTest, PlainWindowsOfARegisteredClass)
{
    g_creates = 0;
    g_destroys = 0;
    WNDCLASS wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "HollowmereAppLinkWnd";
    ASSERT_NE(RegisterClass(&wc), 0);
    EXPECT_EQ(RegisterClass(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    HWND hwnd = CreateWindowEx(WS_EX_APPWINDOW, "hollowmereapplinkwnd", "", WS_POPUP | WS_BORDER, 0,
                               0, 1, 1, 0, 0, nullptr, nullptr);
    ASSERT_NE(hwnd, 0u);
    EXPECT_EQ(g_creates, 1);
    EXPECT_EQ(FindWindow("HollowmereAppLinkWnd", nullptr), hwnd);
    EXPECT_EQ(SendMessage(hwnd, kPing, 0, 0), 99);
    char name[64];
    EXPECT_EQ(GetClassName(hwnd, name, sizeof name), 20);
    EXPECT_STREQ(name, "hollowmereapplinkwnd");
    EXPECT_FALSE(IsWindowVisible(hwnd));

    // A creation refused by WM_CREATE leaves no window.
    int dummy = 0;
    EXPECT_EQ(CreateWindowEx(0, "HollowmereAppLinkWnd", "", 0, 0, 0, 1, 1, 0, 0, nullptr, &dummy),
              0u);

    EXPECT_FALSE(UnregisterClass("HollowmereAppLinkWnd", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));

    // Only the owning thread may destroy it.
    std::thread([hwnd] {
        EXPECT_FALSE(DestroyWindow(hwnd));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }).join();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(g_destroys, 2); // the refused one and this one
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(FindWindow("HollowmereAppLinkWnd", nullptr), 0u);
    EXPECT_TRUE(UnregisterClass("HollowmereAppLinkWnd", nullptr));
    EXPECT_EQ(CreateWindowEx(0, "HollowmereAppLinkWnd", "", 0, 0, 0, 1, 1, 0, 0, nullptr, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(MessagesTest, WmCloseDestroysAPlainWindow)
{
    HWND hwnd = CreateWindowEx(0, DIALOG_CLASS, "Plain", 0, 0, 0, 1, 1, 0, 0, nullptr, nullptr);
    ASSERT_NE(hwnd, 0u);
    SendMessage(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

namespace {
class TestDialog : public QDialog, public platform::Window {
public:
    TestDialog() { attachWidget(this); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kPing) {
            return 5;
        }
        return Window::windowProc(message, wParam, lParam);
    }
};

class TestPage : public QWidget, public platform::Window {
public:
    explicit TestPage(QWidget* parent) : QWidget(parent) { attachWidget(this); }
};
} // namespace

TEST_F(MessagesTest, DialogsGetHandlesThatFollowTheWidget)
{
    TestDialog dialog;
    dialog.setWindowTitle("Umbravia");
    HWND hwnd = dialog.hwnd();
    ASSERT_NE(hwnd, 0u);
    EXPECT_EQ(platform::hwndOf(&dialog), hwnd);
    EXPECT_EQ(platform::widgetOf(hwnd), &dialog);
    EXPECT_EQ(FindWindow(DIALOG_CLASS, "umbravia"), hwnd);
    char title[64];
    EXPECT_EQ(GetWindowText(hwnd, title, sizeof title), 8);
    EXPECT_STREQ(title, "Umbravia");

    EXPECT_TRUE(SetWindowText(hwnd, "Umbravia Settings Wizard"));
    EXPECT_EQ(dialog.windowTitle(), QString("Umbravia Settings Wizard"));
    EXPECT_EQ(FindWindow(DIALOG_CLASS, "Umbravia"), 0u);
    EXPECT_EQ(FindWindow(nullptr, "Umbravia Settings Wizard"), hwnd);

    EXPECT_FALSE(IsWindowVisible(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE)); // it was visible
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(IsWindowVisible(hwnd));

    // Pages are children: they have handles, but FindWindow looks at top-level windows.
    auto* page = new TestPage(&dialog);
    page->setWindowTitle("Page");
    EXPECT_NE(page->hwnd(), 0u);
    EXPECT_EQ(FindWindow(nullptr, "Page"), 0u);
    EXPECT_EQ(SendMessage(hwnd, kPing, 0, 0), 5);

    dialog.show();
    SendMessage(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(IsWindow(hwnd)) << "closing hides a dialog; it goes with its object";
}

TEST_F(MessagesTest, BmClickWithAControlIdClicksThatControlOfTheWindow)
{
    TestDialog dialog;
    auto* box = new QCheckBox("Default Settings.", &dialog);
    auto* advanced = new QPushButton("Advanced", &dialog);
    dialog.bindCommand(box, 1024);
    dialog.bindCommand(advanced, 1075);
    int commands = 0;
    QObject::connect(box, &QCheckBox::clicked, [&commands] { ++commands; });
    QObject::connect(advanced, &QPushButton::clicked, [&commands] { commands += 10; });

    // Posted, as another process would: the box is checked and its command follows.
    ASSERT_TRUE(PostMessage(dialog.hwnd(), BM_CLICK, 1024, 0));
    EXPECT_TRUE(pumpUntil([&] { return box->isChecked(); }));
    EXPECT_EQ(commands, 1);
    SendMessage(dialog.hwnd(), BM_CLICK, 1024, 0);
    EXPECT_FALSE(box->isChecked());
    // A disabled control and an unknown id ignore it.
    advanced->setEnabled(false);
    SendMessage(dialog.hwnd(), BM_CLICK, 1075, 0);
    SendMessage(dialog.hwnd(), BM_CLICK, 4242, 0);
    EXPECT_EQ(commands, 2);
}

TEST_F(MessagesTest, AThreadThatEndsTakesItsWindowsAlong)
{
    HWND hwnd;
    {
        WindowThread worker;
        hwnd = worker.makeWindow();
        EXPECT_TRUE(IsWindow(hwnd));
        DWORD pid = 0;
        EXPECT_NE(GetWindowThreadProcessId(hwnd, &pid), GetCurrentThreadId());
        EXPECT_EQ(pid, GetCurrentProcessId());
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(SendMessage(hwnd, kPing, 0, 0), 0);
}

TEST_F(MessagesTest, ASendToAThreadThatEndsWhileWaitingFails)
{
    WindowThread worker;
    std::atomic<bool> entered{false};
    HWND blocker = worker.makeWindow([&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == kPing) {
            entered = true;
            std::this_thread::sleep_for(50ms);
        }
        return 0;
    });
    HWND target = worker.makeWindow([](UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    PostMessage(blocker, kPing, 0, 0);
    ASSERT_TRUE(testsupport::waitFor([&] { return entered.load(); }));
    auto pending = std::async(std::launch::async, [&] {
        SetLastError(0);
        LRESULT r = SendMessage(target, kPong, 0, 0);
        return std::make_pair(r, GetLastError());
    });
    worker.stop();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
    auto [r, error] = pending.get();
    // Either the worker answered before it stopped, or the send failed cleanly.
    EXPECT_TRUE((r == 1 && error == 0) || (r == 0 && error == ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessagesTest, AThreadRefusingSentMessagesReleasesWaitingAndNewSenders)
{
    RecordingWindow window("W", "", [](UINT, WPARAM, LPARAM) -> LRESULT { return 7; });
    // A sender waits for this thread, which does not pump: the case of a host that waits
    // for its connection threads while one of them notifies the main window.
    std::atomic<bool> sending{false};
    auto waiting = std::async(std::launch::async, [&] {
        sending = true;
        SetLastError(0);
        LRESULT r = SendMessage(window.hwnd(), kPing, 0, 0);
        return std::make_pair(r, GetLastError());
    });
    ASSERT_TRUE(testsupport::waitFor([&] { return sending.load(); }));
    std::this_thread::sleep_for(20ms); // let the send be queued (either order must pass)
    {
        platform::SentMessageRefusal refusal;
        ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
        auto [r, error] = waiting.get();
        EXPECT_EQ(r, 0);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        auto later =
            std::async(std::launch::async, [&] { return SendMessage(window.hwnd(), kPing, 0, 0); });
        ASSERT_EQ(later.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(later.get(), 0);
    }
    EXPECT_EQ(window.count(kPing), 0u);
    // Answering again afterwards.
    auto after =
        std::async(std::launch::async, [&] { return SendMessage(window.hwnd(), kPing, 0, 0); });
    ASSERT_TRUE(pumpUntil([&] { return after.wait_for(0s) == std::future_status::ready; }));
    EXPECT_EQ(after.get(), 7);
}

UMBRAVIA_WINDOWS_TEST_MAIN()
