// SetTimer and KillTimer: WM_TIMER with the timer id, on the owning thread.

#include "WindowsTestSupport.h"

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using wintest::pumpUntil;
using wintest::RecordingWindow;

namespace {

class TimersTest : public testsupport::PrefixTest {};

std::size_t timerCount(const RecordingWindow& window, UINT_PTR id)
{
    std::size_t n = 0;
    for (const auto& r : window.received(WM_TIMER)) {
        n += r.wParam == id ? 1 : 0;
    }
    return n;
}

std::atomic<int> g_procTicks{0};
std::atomic<UINT_PTR> g_procId{0};
HWND g_procWindow = 0;

void timerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD)
{
    if (message == WM_TIMER) {
        g_procWindow = hwnd;
        g_procId = id;
        ++g_procTicks;
    }
}

} // namespace

TEST_F(TimersTest, TimersTickWithTheirIdUntilKilled)
{
    RecordingWindow window;
    EXPECT_EQ(SetTimer(window.hwnd(), 1, 20, nullptr), 1u);
    EXPECT_EQ(SetTimer(window.hwnd(), 2, 30, nullptr), 2u);
    ASSERT_TRUE(
        pumpUntil([&] { return timerCount(window, 1) >= 3 && timerCount(window, 2) >= 2; }));
    for (const auto& r : window.received(WM_TIMER)) {
        EXPECT_EQ(r.threadId, GetCurrentThreadId());
    }
    EXPECT_TRUE(KillTimer(window.hwnd(), 1));
    EXPECT_FALSE(KillTimer(window.hwnd(), 1));
    wintest::pumpFor(5ms); // a tick already queued may still come
    std::size_t ones = timerCount(window, 1);
    std::size_t twos = timerCount(window, 2);
    ASSERT_TRUE(pumpUntil([&] { return timerCount(window, 2) >= twos + 3; }));
    EXPECT_EQ(timerCount(window, 1), ones);
    EXPECT_TRUE(KillTimer(window.hwnd(), 2));
}

TEST_F(TimersTest, SettingAnExistingTimerAgainReplacesIt)
{
    RecordingWindow window;
    SetTimer(window.hwnd(), 7, 10000, nullptr);
    SetTimer(window.hwnd(), 7, 15, nullptr); // the new period applies
    ASSERT_TRUE(pumpUntil([&] { return timerCount(window, 7) >= 2; }, 3s));
    KillTimer(window.hwnd(), 7);
}

TEST_F(TimersTest, ATimerProcedureIsCalledInsteadOfTheWindow)
{
    RecordingWindow window;
    g_procTicks = 0;
    SetTimer(window.hwnd(), 3, 15, timerProc);
    ASSERT_TRUE(pumpUntil([&] { return g_procTicks >= 2; }));
    EXPECT_EQ(g_procWindow, window.hwnd());
    EXPECT_EQ(g_procId, 3u);
    EXPECT_EQ(window.count(WM_TIMER), 0u);
    KillTimer(window.hwnd(), 3);

    // Without a window the timer gets a fresh id and only calls the procedure.
    g_procTicks = 0;
    UINT_PTR id = SetTimer(0, 0, 15, timerProc);
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(pumpUntil([&] { return g_procTicks >= 2; }));
    EXPECT_EQ(g_procWindow, 0u);
    EXPECT_EQ(g_procId, id);
    EXPECT_TRUE(KillTimer(0, id));
}

TEST_F(TimersTest, ADestroyedWindowsTimersStop)
{
    auto window = std::make_unique<RecordingWindow>();
    HWND hwnd = window->hwnd();
    SetTimer(hwnd, 1, 10, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return window->count(WM_TIMER) >= 1; }));
    window.reset();
    wintest::pumpFor(50ms); // must not reach the destroyed object
    EXPECT_EQ(SetTimer(hwnd, 1, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(TimersTest, ATimerSetFromAnotherThreadTicksOnTheOwningThread)
{
    RecordingWindow window;
    HWND hwnd = window.hwnd();
    std::thread([hwnd] { EXPECT_EQ(SetTimer(hwnd, 5, 15, nullptr), 5u); }).join();
    ASSERT_TRUE(pumpUntil([&] { return timerCount(window, 5) >= 2; }));
    EXPECT_EQ(window.received(WM_TIMER).at(0).threadId, GetCurrentThreadId());
    std::thread([hwnd] { EXPECT_TRUE(KillTimer(hwnd, 5)); }).join();
    wintest::pumpFor(30ms);
    std::size_t ticks = timerCount(window, 5);
    wintest::pumpFor(60ms);
    EXPECT_EQ(timerCount(window, 5), ticks);
}

UMBRAVIA_WINDOWS_TEST_MAIN()
