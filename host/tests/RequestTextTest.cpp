// The engine's text work on requests: host line, captures, browsers, CONNECT, rewrite.

#include "engine/RequestText.h"

#include "engine/LastRequest.h"

#include <platform/Text.h>

#include <UserAgents.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace host;
using namespace host::request;

TEST(HostLine, ValueWithoutSurroundingBlanks)
{
    EXPECT_EQ(extractHost("GET / HTTP/1.0\r\nHost: \t www.example.com \r\n\r\n"),
              "www.example.com");
    EXPECT_EQ(extractHost("Host:example.com:8080\n"), "example.com:8080");
}

TEST(HostLine, NeedsTheExactNameAndALineFeed)
{
    EXPECT_FALSE(extractHost("GET / HTTP/1.0\r\nhost: example.com\r\n\r\n"));
    EXPECT_FALSE(extractHost("GET / HTTP/1.0\r\nHost: example.com"));
    EXPECT_FALSE(extractHost("GET / HTTP/1.0\r\nHost: example.com\r"));
    EXPECT_FALSE(extractHost("no header at all\r\n"));
}

TEST(HostLine, BlanksBeforeTheValueIncludeLineEndsAndHighBytes)
{
    EXPECT_FALSE(extractHost("Host: \r\n"));
    EXPECT_EQ(extractHost("Host: \r\nAccept: x\r\n"), "Accept: x");
    EXPECT_EQ(extractHost("Host: \xA0name\xA0\r\n"), "name");
}

TEST(Captures, UserAgentKeepsBlankAndCarriageReturnLowercased)
{
    EXPECT_EQ(captureUserAgent("GET / HTTP/1.0\r\nUser-Agent: Opera/7.0\r\n\r\n"), " opera/7.0\r");
    EXPECT_FALSE(captureUserAgent("GET / HTTP/1.0\r\nAccept: */*\r\n\r\n"));
    EXPECT_FALSE(captureUserAgent("GET / HTTP/1.0\r\nUser-Agent: Opera"));
}

TEST(Captures, DestinationFindsLowercaseHostWhereTheLineNeedsExactCase)
{
    const std::string request = "GET / HTTP/1.0\r\nhost: Example.COM\r\n\r\n";
    EXPECT_FALSE(extractHost(request));
    EXPECT_EQ(captureDestination(request), " example.com\r");
}

TEST(Captures, ShortTextAfterTheNameIsNoValue)
{
    EXPECT_FALSE(captureUserAgent("user-agent"));
    EXPECT_FALSE(captureDestination("host"));
}

TEST(Captures, RequestWithoutUserAgentKeepsTheLastOne)
{
    LastRequest last;
    last.captureRequest("GET / HTTP/1.0\r\nUser-Agent: MSIE\r\nHost: a\r\n\r\n");
    last.captureRequest("GET / HTTP/1.0\r\nHost: b\r\n\r\n");
    EXPECT_EQ(last.texts().userAgent, " msie\r");
    EXPECT_EQ(last.texts().destination, " b\r");
}

// A first request goes by its own agent even while other connections capture theirs;
// one without an agent goes by the last one captured.
TEST(Captures, AFirstRequestGoesByItsOwnAgentWhateverOthersCaptureMeanwhile)
{
    LastRequest last;
    EXPECT_EQ(last.captureUserAgent("GET / HTTP/1.0\r\nUser-Agent: MSIE\r\n\r\n"), " msie\r");
    EXPECT_EQ(last.captureUserAgent("GET / HTTP/1.0\r\nHost: b\r\n\r\n"), " msie\r");
    std::atomic<int> wrong{0};
    auto capture = [&](const std::string& request, const std::string& expected) {
        for (int i = 0; i < 20000; ++i) {
            if (last.captureUserAgent(request) != expected) {
                ++wrong;
            }
        }
    };
    std::thread browser(capture, "GET / HTTP/1.0\r\nUser-Agent: Opera/7.0\r\n\r\n", " opera/7.0\r");
    std::thread program(capture, "GET / HTTP/1.0\r\nUser-Agent: Fetcher\r\n\r\n", " fetcher\r");
    browser.join();
    program.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Captures, ClientPortIsUnsignedDecimal)
{
    LastRequest last;
    last.setClientPort(65535);
    EXPECT_EQ(last.texts().clientPort, "65535");
    last.setClientPort(7);
    EXPECT_EQ(last.texts().clientPort, "7");
}

TEST(Captures, LocalAddressIsSetOnce)
{
    LastRequest last;
    EXPECT_FALSE(last.hasLocalAddress());
    last.setLocalAddressOnce("127.0.0.1");
    last.setLocalAddressOnce("10.0.0.1");
    EXPECT_EQ(last.localAddress(), "127.0.0.1");
}

TEST(Programs, ThreeBrowsersInOrder)
{
    EXPECT_TRUE(isKnownBrowser(" mozilla/4.0 (compatible; msie 6.0)\r"));
    EXPECT_TRUE(isKnownBrowser(" mozilla/5.0 netscape/7.1\r"));
    EXPECT_TRUE(isKnownBrowser(" opera/7.54 (windows; msie)\r"));
    EXPECT_FALSE(isKnownBrowser(" curl/7.88.1\r"));
    EXPECT_FALSE(isKnownBrowser(""));
}

namespace {

int g_switchAsked = 0;
bool switchOn()
{
    ++g_switchAsked;
    return true;
}
bool switchOff()
{
    ++g_switchAsked;
    return false;
}

// The user agent as the capture stores it: lowercased, with the blank and the carriage
// return around it.
std::string captured(const char* agent)
{
    return *captureUserAgent(std::string("GET / HTTP/1.1\r\nUser-Agent: ") + agent + "\r\n\r\n");
}

} // namespace

TEST(Programs, TodaysBrowsersAreToldApartByTheirMostParticularToken)
{
    namespace a = testsupport::agents;
    const std::vector<std::pair<const char*, ModernBrowser>> cases = {
        {a::FirefoxLinux, ModernBrowser::Firefox},
        {a::FirefoxWindows, ModernBrowser::Firefox},
        {a::FirefoxIos, ModernBrowser::Firefox}, // says "Safari/" too
        {a::ChromiumDebian, ModernBrowser::Chrome},
        {a::ChromiumUbuntu, ModernBrowser::Chromium},
        {a::ChromeWindows, ModernBrowser::Chrome},
        {a::ChromeIos, ModernBrowser::Chrome},
        {a::Edge, ModernBrowser::Edge},           // says "Chrome/" and "Safari/"
        {a::OperaChromium, ModernBrowser::Opera}, // says "Chrome/" and "Safari/"
        {a::SafariMac, ModernBrowser::Safari},
        {a::SafariIos, ModernBrowser::Safari},
        {a::InternetExplorer11, ModernBrowser::InternetExplorer},
    };
    for (const auto& [agent, browser] : cases) {
        EXPECT_EQ(modernBrowser(captured(agent)), browser) << agent;
        g_switchAsked = 0;
        EXPECT_TRUE(isBrowser(captured(agent), switchOn)) << agent;
        EXPECT_FALSE(isBrowser(captured(agent), switchOff)) << agent;
        EXPECT_EQ(g_switchAsked, 2) << agent;
    }
}

TEST(Programs, TheThreeWordsNeedNoSwitchAndOtherProgramsAreNoBrowsers)
{
    namespace a = testsupport::agents;
    g_switchAsked = 0;
    for (const char* agent : {a::InternetExplorer6, a::Netscape7, a::Opera7}) {
        EXPECT_TRUE(isBrowser(captured(agent), switchOff)) << agent;
        EXPECT_FALSE(modernBrowser(captured(agent))) << agent;
    }
    for (const char* agent : {a::Curl, a::Wget, a::PythonRequests, ""}) {
        EXPECT_FALSE(isBrowser(captured(agent), switchOn)) << agent;
    }
    // Only an agent that today's tokens alone name costs a look at the switch.
    EXPECT_EQ(g_switchAsked, 0);
    // The old Internet Explorer also says "Mozilla/": it stays Internet Explorer.
    EXPECT_TRUE(isKnownBrowser(captured(a::InternetExplorer6)));
}

TEST(Programs, ConnectNeedsAFollowingBlank)
{
    EXPECT_TRUE(isConnectRequest("CONNECT example.com:443 HTTP/1.1\r\n"));
    EXPECT_TRUE(isConnectRequest("connect x"));
    EXPECT_FALSE(isConnectRequest("GET /connect/ HTTP/1.1\r\n"));
    EXPECT_FALSE(isConnectRequest("GET / HTTP/1.1\r\nConnection: close\r\n"));
}

TEST(Rewrite, AbsoluteUrlBecomesOriginFormAndNothingElseChanges)
{
    std::string request =
        "GET http://example.com/index.html HTTP/1.1\r\nHost: example.com\r\nReferer: "
        "http://example.com/\r\n\r\n";
    std::string expected =
        "GET /index.html HTTP/1.1\r\nHost: example.com\r\nReferer: http://example.com/\r\n\r\n";
    request.push_back('\0');
    std::size_t length = rewriteToOriginForm(request.data(), request.size() - 1, "example.com");
    EXPECT_EQ(request.substr(0, length), expected);
    EXPECT_EQ(request[length], '\0');
}

TEST(Rewrite, HostWithPortAndUnmatchedHost)
{
    std::string request = "GET http://a.b:8080/x HTTP/1.1\r\nHost: a.b:8080\r\n\r\n";
    std::string copy = request;
    request.push_back('\0');
    std::size_t length = rewriteToOriginForm(request.data(), copy.size(), "a.b:8080");
    EXPECT_EQ(request.substr(0, length), "GET /x HTTP/1.1\r\nHost: a.b:8080\r\n\r\n");

    std::string other = copy + '\0';
    EXPECT_EQ(rewriteToOriginForm(other.data(), copy.size(), "other.host"), copy.size());
    EXPECT_EQ(other.substr(0, copy.size()), copy);
}

// The request line of a head whose "Host:" line lies in the next chunk.
TEST(Rewrite, AbsoluteTargetHostComesFromARequestLine)
{
    EXPECT_EQ(absoluteTargetHost("GET http://a.b:81/x HTTP/1.1\r\nX-Pad: 1\r\nHos"), "a.b:81");
    EXPECT_EQ(absoluteTargetHost("tail of a body\nPOST http://c.d?q HTTP/1.1\r\n"), "c.d");
    // Only a method at the start of a line makes a request line.
    EXPECT_FALSE(absoluteTargetHost("Referer: http://e.f/ x\r\n").has_value());
    EXPECT_FALSE(absoluteTargetHost("get http://e.f/ HTTP/1.1\r\n").has_value());
    EXPECT_FALSE(absoluteTargetHost("GET /local HTTP/1.1\r\n").has_value());
    // A host cut off by the chunk's end is no host.
    EXPECT_FALSE(absoluteTargetHost("GET http://g.h").has_value());
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
