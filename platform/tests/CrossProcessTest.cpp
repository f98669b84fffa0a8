// Windows of other processes of the prefix: finding them, posting and sending to them,
// and what is left when their process ends or stops answering.

#include "WindowsTestSupport.h"

#include <QTimer>

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <thread>

using namespace std::chrono_literals;
using wintest::pumpUntil;
using wintest::RecordingWindow;

namespace {

constexpr UINT kDouble = WM_USER + 10;   // answers wParam * 2
constexpr UINT kOrdered = WM_USER + 11;  // counts values arriving in order
constexpr UINT kCheck = WM_USER + 12;    // answers how many arrived in order
constexpr UINT kCallBack = WM_USER + 13; // sends kAddHundred to the window in wParam
constexpr UINT kAddHundred = WM_USER + 14;
constexpr UINT kHang = WM_USER + 15; // the owning thread stops answering
constexpr UINT kQuit = WM_USER + 16; // the child ends with exit code 3

// Child: a window of the class and title given, printing its handle when it is ready.
int ownerChild(const std::vector<std::string>& args)
{
    WPARAM expected = 0;
    LRESULT inOrder = 0;
    RecordingWindow window(
        args.at(0).c_str(), args.at(1).c_str(), [&](UINT m, WPARAM w, LPARAM l) -> LRESULT {
            switch (m) {
            case kDouble:
                return static_cast<LRESULT>(w * 2);
            case kOrdered:
                inOrder += w == expected ? 1 : 0;
                expected = w + 1;
                return 0;
            case kCheck:
                return inOrder;
            case kCallBack:
                return SendMessage(static_cast<HWND>(w), kAddHundred, static_cast<WPARAM>(l), 0) +
                       1;
            case kHang:
                std::this_thread::sleep_for(60s);
                return 0;
            case kQuit:
                PostQuitMessage(3);
                return 0;
            default:
                return DefWindowProc(0, m, w, l);
            }
        });
    std::printf("ready %u\n", window.hwnd());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
wintest::ChildRole g_owner("owner", ownerChild);

class CrossProcessTest : public testsupport::PrefixTest {
protected:
    // Starts a child owning a window and returns its handle (0 when it did not come up).
    HWND startOwner(const char* className, const char* title,
                    const testsupport::ProcessOptions& options = {})
    {
        m_child = std::make_unique<testsupport::ChildProcess>(
            wintest::childCommand("owner", {className, title}), options);
        HWND hwnd = 0;
        testsupport::waitFor([&] {
            unsigned value = 0;
            if (std::sscanf(m_child->out().c_str(), "ready %u", &value) == 1) {
                hwnd = value;
            }
            return hwnd != 0 || !m_child->running();
        });
        return hwnd;
    }
    std::unique_ptr<testsupport::ChildProcess> m_child;
};

} // namespace

TEST_F(CrossProcessTest, FindWindowByClassTitleOrBoth)
{
    HWND hwnd = startOwner("CrossCls", "Cross Title");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    EXPECT_EQ(FindWindow("CrossCls", nullptr), hwnd);
    EXPECT_EQ(FindWindow(nullptr, "cross title"), hwnd);
    EXPECT_EQ(FindWindow("crosscls", "Cross Title"), hwnd);
    EXPECT_EQ(FindWindow("CrossCls", "Other"), 0u);
    EXPECT_EQ(FindWindow("Other", "Cross Title"), 0u);
    EXPECT_TRUE(IsWindow(hwnd));
    char text[64];
    EXPECT_EQ(GetWindowText(hwnd, text, sizeof text), 11);
    EXPECT_STREQ(text, "Cross Title");
    EXPECT_GT(GetClassName(hwnd, text, sizeof text), 0);
    EXPECT_STREQ(text, "CrossCls");
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(hwnd, &pid), 0u);
    EXPECT_EQ(pid, static_cast<DWORD>(m_child->pid()));
}

TEST_F(CrossProcessTest, PostsKeepTheirOrderAndSendsReturnTheResult)
{
    HWND hwnd = startOwner("CrossCls", "Order");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    for (WPARAM i = 0; i < 300; ++i) {
        ASSERT_TRUE(PostMessage(hwnd, kOrdered, i, 0));
    }
    // Sent messages overtake posted ones, as on Windows: ask until all have arrived.
    EXPECT_TRUE(testsupport::waitFor([&] { return SendMessage(hwnd, kCheck, 0, 0) == 300; }));
    EXPECT_EQ(SendMessage(hwnd, kCheck, 0, 0), 300) << "every post arrived, in order";
    EXPECT_EQ(SendMessage(hwnd, kDouble, 21, 0), 42);
}

TEST_F(CrossProcessTest, ProcessesSendingToEachOtherDoNotLockUp)
{
    HWND hwnd = startOwner("CrossCls", "Mutual");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    RecordingWindow mine("Mine", "", [](UINT m, WPARAM w, LPARAM) -> LRESULT {
        return m == kAddHundred ? static_cast<LRESULT>(w + 100) : 0;
    });
    // The child's handler sends back to our window while we wait for its answer.
    EXPECT_EQ(SendMessage(hwnd, kCallBack, mine.hwnd(), 5), 106);
    EXPECT_EQ(mine.count(kAddHundred), 1u);
}

TEST_F(CrossProcessTest, ShowWindowReachesTheOwner)
{
    HWND hwnd = startOwner("CrossCls", "Shown");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(testsupport::waitFor([&] { return IsWindowVisible(hwnd) != FALSE; }));
}

TEST_F(CrossProcessTest, NoWindowIsLeftAfterANormalEnd)
{
    HWND hwnd = startOwner("CrossCls", "Ending");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    ASSERT_TRUE(PostMessage(hwnd, kQuit, 0, 0));
    auto result = m_child->wait(10s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 3) << result->err;
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(FindWindow("CrossCls", nullptr), 0u);
    EXPECT_FALSE(PostMessage(hwnd, kDouble, 1, 0));
}

TEST_F(CrossProcessTest, NoWindowIsLeftAfterSigkill)
{
    HWND hwnd = startOwner("CrossCls", "Killed");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    m_child->signal(SIGKILL);
    ASSERT_TRUE(m_child->wait(10s).has_value());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(FindWindow("CrossCls", "Killed"), 0u);
    EXPECT_FALSE(PostMessage(hwnd, kDouble, 1, 0));
    SetLastError(0);
    EXPECT_EQ(SendMessage(hwnd, kDouble, 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(CrossProcessTest, ASendToAHungProcessFailsWithinTheBound)
{
    platform::setSendTimeoutMs(300);
    HWND hwnd = startOwner("CrossCls", "Hung");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    // The handler of this send never returns.
    auto start = std::chrono::steady_clock::now();
    SetLastError(0);
    EXPECT_EQ(SendMessage(hwnd, kHang, 0, 0), 0);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 3s);
    // Nor does the owning thread answer anything else now.
    SetLastError(0);
    EXPECT_EQ(SendMessage(hwnd, kDouble, 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_TRUE(IsWindow(hwnd)) << "a hung window still exists";
    platform::setSendTimeoutMs(0);
}

TEST_F(CrossProcessTest, ASendToAStoppedProcessFailsWithinTheBound)
{
    platform::setSendTimeoutMs(300);
    HWND hwnd = startOwner("CrossCls", "Stopped");
    ASSERT_NE(hwnd, 0u) << m_child->err();
    EXPECT_EQ(SendMessage(hwnd, kDouble, 2, 0), 4);
    m_child->signal(SIGSTOP);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessage(hwnd, kDouble, 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    // Posts to a process that stopped reading fail once its queue is full, and soon: a
    // proxy thread posting per chunk must not stall on it.
    start = std::chrono::steady_clock::now();
    int refused = 0;
    for (int i = 0; i < 5000; ++i) {
        refused += PostMessage(hwnd, kOrdered, 0, 0) ? 0 : 1;
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    m_child->signal(SIGCONT);
    // The late answer to the failed send does not confuse the next one.
    EXPECT_EQ(SendMessage(hwnd, kDouble, 5, 0), 10);
    EXPECT_TRUE(testsupport::waitFor([&] { return PostMessage(hwnd, kOrdered, 0, 0) != FALSE; }));
    platform::setSendTimeoutMs(0);
}

// Every short-lived peer (a umbravia-ctl command) used to keep one descriptor open here
// for good, until a process ran out of them.
TEST_F(CrossProcessTest, PeersThatEndedLeaveNoConnectionBehind)
{
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto talkToOneOwner = [&] {
        HWND hwnd = startOwner("CrossCls", "Brief");
        ASSERT_NE(hwnd, 0u) << m_child->err();
        EXPECT_EQ(SendMessage(hwnd, kDouble, 2, 0), 4);
        ASSERT_TRUE(PostMessage(hwnd, kQuit, 0, 0));
        ASSERT_TRUE(m_child->wait(10s).has_value());
    };
    talkToOneOwner(); // the channel's own descriptors are made once
    const auto before = openDescriptors();
    for (int i = 0; i < 12; ++i) {
        talkToOneOwner();
    }
    // The connection to the last peer goes when the next one is made.
    EXPECT_LE(openDescriptors(), before + 1);
}

TEST_F(CrossProcessTest, AnotherPrefixSharesNoWindows)
{
    testsupport::TempDir other;
    testsupport::ProcessOptions options;
    options.env["UMBRAVIA_PREFIX"] = other.path().string();
    HWND hwnd = startOwner("CrossCls", "Elsewhere", options);
    ASSERT_NE(hwnd, 0u) << m_child->err();
    EXPECT_EQ(FindWindow("CrossCls", "Elsewhere"), 0u);
}

UMBRAVIA_WINDOWS_TEST_MAIN()
