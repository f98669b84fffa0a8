// The notifications to the main window: WM_REQUEST_FILTERED (1213) for removed header
// lines and the masked address, WM_RESPONSE_FILTERED (1212) for rewritten content, sent
// with both parameters 0 and only to a window that exists.

#include "FiltersModule.h"

#include <common/HostMessages.h>
#include <platform/Application.h>
#include <platform/Window.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <thread>

namespace filters::testing {
namespace {

class CountingWindow : public platform::Window {
public:
    CountingWindow() { createWindow("FiltersTestWnd", ""); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == msg::RequestFiltered || message == msg::ResponseFiltered) {
            ++(message == msg::RequestFiltered ? requests : responses);
            if (wParam != 0 || lParam != 0) {
                ++badParameters;
            }
            return 0;
        }
        return Window::windowProc(message, wParam, lParam);
    }
    std::atomic<int> requests{0};
    std::atomic<int> responses{0};
    std::atomic<int> badParameters{0};
};

class Notifications : public FiltersModule {
protected:
    void SetUp() override
    {
        FiltersModule::SetUp();
        ASSERT_NE(m_window.hwnd(), HWND(0));
        m_setMainWindow(m_window.hwnd());
    }
    CountingWindow m_window;
};

TEST_F(Notifications, EachRemovedLineAndTheMaskingSendARequestNotification)
{
    setRequest(nullptr, 1);
    for (const char* name : {"BROWSERSHIELD", "REFERRERBLOCK", "IPMASKING", "DISABLEINTERNETCACHE",
                             "DISABLEALLCOOKIES"}) {
        setRequest(name, 1);
    }
    request("GET http://h/ HTTP/1.1\r\nUser-Agent: a\r\nUser-Agent: b\r\nReferer: r\r\n"
            "Referrer: r\r\nCookie: c\r\nIf-Modified-Since: x\r\nX-A: 10.0.0.1, 10.0.0.1\r\n\r\n");
    // Two agents, one cookie, one masking, two referrers; the cache header sends nothing.
    EXPECT_EQ(m_window.requests, 6);
    EXPECT_EQ(m_window.responses, 0);
    EXPECT_EQ(m_window.badParameters, 0);
}

TEST_F(Notifications, ImageAndBannerRewritesSendResponseNotifications)
{
    setResponse(nullptr, 1);
    setResponse("BLOCKIMAGES", 1);
    setResponse("BLOCKBANNERS", 1);
    settings::Key banners = key(settings::BannersKey);
    banners.writeString("ads.example", "localhost");
    banners.writeString("other.example", "localhost");
    banners.writeString("h.example", "localhost");
    request("GET http://ads.example/a.gif HTTP/1.1\r\nHost: h.example\r\n\r\n");
    EXPECT_EQ(m_window.responses, 3); // the image, then one per banner server that matched
    EXPECT_EQ(m_window.requests, 0);
}

TEST_F(Notifications, ResponseRulesSendOnceEachAndOncePerPopupCall)
{
    setLevel(4);
    response("<title>t</title><script>a</script><script>b</script>"
             "<a onclick=\"window.open('x');window.open('y');\">"
             "<body onunload=\"x\" oncontextmenu=\"y\">window.status=1;setTimeout(f,1);");
    // title, scripts, unload, two pop-ups, context menu, status, timer.
    EXPECT_EQ(m_window.responses, 8);
    EXPECT_EQ(m_window.requests, 0);
}

TEST_F(Notifications, UnchangedChunksAndBlocksSendNothing)
{
    setLevel(4);
    response("<p>plain</p>");
    request("GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n", "");
    const std::string stop = std::string(settings::RequestKey) + "\\STOPSERVERS";
    settings::saveList(HKEY_LOCAL_MACHINE, stop.c_str(), {1, {"blocked.example"}});
    request("GET http://blocked.example/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(m_window.requests + m_window.responses, 0);
}

TEST_F(Notifications, AWindowThatIsGoneIsNotSentTo)
{
    setLevel(4);
    {
        CountingWindow gone;
        m_setMainWindow(gone.hwnd());
    }
    EXPECT_EQ(response("<title>t</title>"), "<title> </title>");
    m_setMainWindow(0);
    EXPECT_EQ(response("<title>t</title>"), "<title> </title>");
    EXPECT_EQ(m_window.responses, 0);
}

TEST_F(Notifications, CallsFromConnectionThreadsWaitForTheWindowsThread)
{
    setLevel(4);
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                std::string chunk = "<title>t</title>";
                m_filterResponse(chunk.data(), static_cast<int>(chunk.size()));
            }
            ++finished;
        });
    }
    // The window belongs to this thread: its loop must run for the sends to be answered.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (finished < 4 && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(m_window.responses, 40);
}

} // namespace
} // namespace filters::testing

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
