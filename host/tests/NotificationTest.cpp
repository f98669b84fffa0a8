// What the engine tells the windows: 1225 to the main window for each request it sees,
// 1214 to the registered outside windows for each connection and request chunk, and the
// registered-window list the main window shares with the connection threads.

#include "EngineFixture.h"

#include <common/HostMessages.h>
#include <platform/Application.h>
#include <platform/Window.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <map>
#include <thread>

using namespace enginetest;
using testsupport::OriginServer;

namespace {

// A window that counts the messages it receives.
class CountingWindow : public platform::Window {
public:
    CountingWindow() { createWindow("UmbraviaEngineTestWnd", ""); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        std::lock_guard lock(m_mutex);
        ++m_counts[message];
        return Window::windowProc(message, wParam, lParam);
    }
    int count(UINT message) const
    {
        std::lock_guard lock(m_mutex);
        auto it = m_counts.find(message);
        return it == m_counts.end() ? 0 : it->second;
    }

private:
    mutable std::mutex m_mutex;
    std::map<UINT, int> m_counts;
};

// The main window's side of the activity notifications: it takes the counted requests
// and ends the pending state at once, as the real window does after its pause.
class ActivityWindow : public CountingWindow {
public:
    explicit ActivityWindow(host::ProxyState& state) : m_state(state) {}
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == msg::NewRequest && wParam == host::ProxyState::NewRequestCounted) {
            m_requests += m_state.takeNewRequests();
            m_state.releaseNewRequests();
        }
        return CountingWindow::windowProc(message, wParam, lParam);
    }
    unsigned requests() const { return m_requests.load(); }

private:
    host::ProxyState& m_state;
    std::atomic<unsigned> m_requests{0};
};

// Runs this thread's event loop until pred() holds or the time is up.
template <typename Pred> bool pumpUntil(Pred pred, int timeoutMs = 5000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void pumpFor(int ms)
{
    pumpUntil([] { return false; }, ms);
}

} // namespace

TEST_F(EngineTest, WhileANewRequestNoticeIsPendingRequestsAreOnlyCounted)
{
    CountingWindow mainWindow; // takes nothing: the notice stays pending
    ASSERT_TRUE(start());
    m_state->mainWindow = mainWindow.hwnd();
    for (int i = 0; i < 100; ++i) {
        m_state->notifyNewRequest();
    }
    pumpFor(50);
    EXPECT_EQ(mainWindow.count(msg::NewRequest), 1);
    // Not one request is lost.
    EXPECT_EQ(m_state->takeNewRequests(), 100u);
    EXPECT_EQ(m_state->takeNewRequests(), 0u);
    // Requests counted after the take are notified when the window releases.
    m_state->notifyNewRequest();
    m_state->notifyNewRequest();
    m_state->releaseNewRequests();
    EXPECT_TRUE(pumpUntil([&] { return mainWindow.count(msg::NewRequest) == 2; }));
    EXPECT_EQ(m_state->takeNewRequests(), 2u);
    // A release with nothing counted posts nothing; the next request posts at once.
    m_state->releaseNewRequests();
    pumpFor(20);
    EXPECT_EQ(mainWindow.count(msg::NewRequest), 2);
    m_state->notifyNewRequest();
    EXPECT_TRUE(pumpUntil([&] { return mainWindow.count(msg::NewRequest) == 3; }));
}

TEST_F(EngineTest, WithoutAMainWindowNothingIsCounted)
{
    ASSERT_TRUE(start());
    m_state->notifyNewRequest();
    EXPECT_EQ(m_state->takeNewRequests(), 0u);
}

TEST_F(EngineTest, EachDirectRequestPostsNewRequestToTheMainWindow)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    ActivityWindow mainWindow(*m_state);
    m_state->mainWindow = mainWindow.hwnd();
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/1")));
    EXPECT_EQ(client.responseBody(), "target=/1");
    EXPECT_TRUE(pumpUntil([&] { return mainWindow.requests() == 1; }));
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/2")));
    EXPECT_EQ(client.responseBody(), "target=/2");
    EXPECT_TRUE(pumpUntil([&] { return mainWindow.requests() == 2; }));
    pumpFor(50);
    EXPECT_EQ(mainWindow.requests(), 2u);
}

TEST_F(EngineTest, TunnelReportsOnlyItsFirstRequest)
{
    OriginServer upstream(OriginServer::Mode::Echo, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    ActivityWindow mainWindow(*m_state);
    setUpstream(upstream.address(), upstream.port());
    m_state->mainWindow = mainWindow.hwnd();
    Client client(m_port);
    const std::string request = proxyRequest("example.com", "/", "Agent/1.0");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.receive(request.size()), request);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.receive(request.size()), request);
    EXPECT_TRUE(pumpUntil([&] { return mainWindow.requests() >= 1; }));
    pumpFor(50);
    EXPECT_EQ(mainWindow.requests(), 1u);
}

TEST_F(EngineTest, ClientLeavingBeforeTheHostLineIsNoActivityEntry)
{
    CountingWindow mainWindow;
    CountingWindow band;
    ASSERT_TRUE(start());
    m_state->mainWindow = mainWindow.hwnd();
    ASSERT_TRUE(m_state->windows.add(band.hwnd()));
    {
        Client client(m_port);
        ASSERT_TRUE(client.send("GET http://example.com/ HTTP/1.1\r\n"));
    }
    ASSERT_TRUE(connectionsEnded());
    EXPECT_TRUE(pumpUntil([&] { return band.count(msg::ConnectionActivity) == 1; }));
    pumpFor(50);
    EXPECT_EQ(mainWindow.count(msg::NewRequest), 0);
}

TEST_F(EngineTest, ActivityGoesToLiveRegisteredWindowsAndDeadOnesAreDropped)
{
    OriginServer origin;
    CountingWindow band;
    auto gone = std::make_unique<CountingWindow>();
    ASSERT_TRUE(start());
    ASSERT_TRUE(m_state->windows.add(band.hwnd()));
    ASSERT_TRUE(m_state->windows.add(gone->hwnd()));
    gone.reset();
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/a")));
    EXPECT_EQ(client.responseBody(), "target=/a");
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/b")));
    EXPECT_EQ(client.responseBody(), "target=/b");
    // One for the accepted connection, one for the relayed request chunk.
    EXPECT_TRUE(pumpUntil([&] { return band.count(msg::ConnectionActivity) == 2; }));
    EXPECT_EQ(m_state->windows.windows(), std::vector<HWND>{band.hwnd()});
}

TEST(WindowList, RegisteringTwiceKeepsOneEntry)
{
    testsupport::TempPrefix prefix;
    CountingWindow a;
    CountingWindow b;
    host::WindowList list;
    EXPECT_TRUE(list.add(a.hwnd()));
    EXPECT_FALSE(list.add(a.hwnd()));
    EXPECT_TRUE(list.add(b.hwnd()));
    EXPECT_FALSE(list.add(0x7ffffff0)); // not a window
    EXPECT_EQ(list.windows(), (std::vector<HWND>{a.hwnd(), b.hwnd()}));
    list.remove(a.hwnd());
    EXPECT_EQ(list.windows(), std::vector<HWND>{b.hwnd()});
}

TEST(WindowList, ExitWaitSeesOnlyLiveWindows)
{
    testsupport::TempPrefix prefix;
    host::WindowList list;
    auto a = std::make_unique<CountingWindow>();
    CountingWindow b;
    ASSERT_TRUE(list.add(a->hwnd()));
    ASSERT_TRUE(list.add(b.hwnd()));
    a.reset();
    EXPECT_TRUE(list.firstIsLive());
    EXPECT_EQ(list.windows(), std::vector<HWND>{b.hwnd()});
    list.remove(b.hwnd());
    EXPECT_FALSE(list.firstIsLive());
}

TEST(WindowList, SendAndPostReachEveryLiveWindow)
{
    testsupport::TempPrefix prefix;
    host::WindowList list;
    CountingWindow a;
    CountingWindow b;
    ASSERT_TRUE(list.add(a.hwnd()));
    ASSERT_TRUE(list.add(b.hwnd()));
    list.sendToAll(msg::ProxyStateChanged);
    EXPECT_EQ(a.count(msg::ProxyStateChanged), 1);
    EXPECT_EQ(b.count(msg::ProxyStateChanged), 1);
    std::thread poster([&] { list.postToAll(msg::ResponseFiltered); });
    poster.join();
    EXPECT_TRUE(pumpUntil([&] {
        return a.count(msg::ResponseFiltered) == 1 && b.count(msg::ResponseFiltered) == 1;
    }));
}

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
