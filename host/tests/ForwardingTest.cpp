// Where the bytes of a client connection go: direct to the origin on port 80 in origin
// form, through one upstream hop as a tunnel, or through the chain; and what the request
// and response filters do to them on the way.

#include "EngineFixture.h"

#include <poll.h>

#include <atomic>
#include <thread>

using namespace enginetest;
using testsupport::OriginServer;

namespace {
constexpr const char* Caption = "Umbravia";
} // namespace

TEST_F(EngineTest, BrowserRequestGoesToOriginInOriginForm)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/index.html")));
    EXPECT_EQ(client.responseBody(), "target=/index.html");
    EXPECT_EQ(origin.received(), originRequest(origin.address(), "/index.html"));
    EXPECT_EQ(chainCalls(), "");
    EXPECT_EQ(m_state->lastRequest.texts().destination, origin.address());
    EXPECT_EQ(m_state->lastRequest.texts().userAgent,
              " mozilla/4.0 (compatible; msie 6.0; windows nt 5.1)\r");
}

TEST_F(EngineTest, HeadSplitAcrossReceivesIsGatheredUntilTheHostLine)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    const std::string request = proxyRequest(origin.address(), "/split");
    const std::size_t hostLine = request.find("Host:");
    Client client(m_port);
    ASSERT_TRUE(client.send(request.substr(0, hostLine + 3)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(client.send(request.substr(hostLine + 3, 6)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(origin.connectionCount(), 0u); // no complete Host line yet
    ASSERT_TRUE(client.send(request.substr(hostLine + 9)));
    EXPECT_EQ(client.responseBody(), "target=/split");
    EXPECT_EQ(origin.received(), originRequest(origin.address(), "/split"));
}

TEST_F(EngineTest, KeptAliveRequestsGoToTheFirstServerEachRewritten)
{
    OriginServer first;
    OriginServer second;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(first.address(), "/one")));
    EXPECT_EQ(client.responseBody(), "target=/one");
    ASSERT_TRUE(client.send(proxyRequest(second.address(), "/two")));
    EXPECT_EQ(client.responseBody(), "target=/two");
    EXPECT_EQ(first.received(),
              originRequest(first.address(), "/one") + originRequest(second.address(), "/two"));
    EXPECT_EQ(first.connectionCount(), 1u);
    EXPECT_EQ(second.connectionCount(), 0u);
}

TEST_F(EngineTest, HostWithPortCannotBeResolvedAndClosesSilently)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address() + ":8080", "/")));
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_EQ(origin.connectionCount(), 0u);
    EXPECT_TRUE(m_boxes->texts().empty());
}

TEST_F(EngineTest, ClientClosingBeforeTheHostLineConnectsNowhere)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    {
        Client client(m_port);
        ASSERT_TRUE(client.send("GET http://" + origin.address() +
                                "/ HTTP/1.1\r\nUser-Agent: "
                                "MSIE\r\nHost: " +
                                origin.address()));
    }
    ASSERT_TRUE(connectionsEnded());
    EXPECT_EQ(origin.connectionCount(), 0u);
    EXPECT_EQ(chainCalls(), "");
    EXPECT_EQ(m_state->lastRequest.texts().destination, ""); // no activity entry
}

TEST_F(EngineTest, HeadFillingTheBufferWithoutHostLineIsRefused)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    std::string head = "GET http://" + origin.address() + "/ HTTP/1.1\r\nUser-Agent: MSIE\r\n" +
                       "X-Long: " + std::string(20000, 'x') + "\r\nHost: " + origin.address() +
                       "\r\n\r\n";
    client.send(head); // the proxy may close before it has read everything
    EXPECT_TRUE(client.closedByPeer());
    ASSERT_TRUE(connectionsEnded());
    EXPECT_EQ(origin.connectionCount(), 0u);
    EXPECT_EQ(chainCalls(), "");
}

TEST_F(EngineTest, HalfClosedClientStillGetsTheWholeResponse)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(
        proxyRequest(origin.address(), "/half", InternetExplorer, "Connection: close\r\n")));
    ASSERT_EQ(::shutdown(client.socket(), SHUT_WR), 0); // all the request there is
    EXPECT_EQ(client.responseBody(), "target=/half");
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_TRUE(connectionsEnded());
}

// Responses that end exactly at a chunk's end, and longer ones, arrive whole and in order
// while the connection stays open (a full chunk whose successor is already waiting is
// handed on together with it; the last one must still go out on its own).
TEST_F(EngineTest, ResponsesOfWholeChunksArriveWholeOnAKeptAliveConnection)
{
    // The body that makes the origin's whole response (head and body) total bytes long.
    auto bodyFor = [](std::size_t total) {
        const std::string headStart = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                      "Content-Length: ";
        for (std::size_t digits = 1;; ++digits) {
            const std::size_t size = total - headStart.size() - digits - 4;
            if (std::to_string(size).size() == digits) {
                std::string body(size, ' ');
                for (std::size_t i = 0; i < size; ++i) {
                    body[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
                }
                return body;
            }
        }
    };
    OriginServer origin;
    origin.setBody(
        [&](const std::string& target) { return bodyFor(std::stoul(target.substr(1))); });
    ASSERT_TRUE(start());
    Client client(m_port);
    const std::size_t chunk = 16384;
    for (std::size_t total : {2 * chunk, 100000ul, 64 * chunk, chunk, 8 * chunk}) {
        ASSERT_TRUE(client.send(
            proxyRequest(origin.address(), "/" + std::to_string(total), InternetExplorer)));
        EXPECT_EQ(client.responseBody(), bodyFor(total)) << total << " bytes";
    }
    EXPECT_EQ(origin.connectionCount(), 1u);
}

// A response of many chunks reaches the response filter a chunk at a time, however many
// chunks a receive takes: each at most 16,384 bytes with its zero byte after it, every
// byte exactly once, and the client gets the bytes whole and in order.
TEST_F(EngineTest, LongResponsesPassTheFilterChunkByChunkEveryByteOnce)
{
    std::string body;
    while (body.size() < 300000) {
        body += "<p>" + std::to_string(body.size()) + "</p>\n";
    }
    OriginServer origin;
    origin.setBody([&](const std::string&) { return body; });
    useFilters(false, true);
    ASSERT_TRUE(start());
    Client client(m_port);
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/long", InternetExplorer)));
        EXPECT_EQ(client.responseBody(), body) << "response " << round;
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    EXPECT_EQ(filteredResponseBytes(), static_cast<int>(2 * (head.size() + body.size())));
    EXPECT_GE(filterResponses(), static_cast<int>(2 * (body.size() / 16384 + 1)));
    EXPECT_EQ(badResponseChunks(), 0);
}

TEST_F(EngineTest, HostLineSplitAtTheChunkBoundaryStillGetsOriginForm)
{
    OriginServer origin(OriginServer::Mode::Record);
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/first")));
    ASSERT_TRUE(origin.waitForConnections(1));
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return origin.received().find("\r\n\r\n") != std::string::npos; }));
    // The next request of the connection is relayed in chunks of 16,384 bytes: pad it
    // so that the first chunk ends inside "Host:".
    const std::string line = "GET http://" + origin.address() + "/second HTTP/1.1\r\n";
    const std::string padName = "X-Pad: ";
    const std::size_t pad = 16384 - line.size() - padName.size() - 2 - 3;
    const std::string second = line + padName + std::string(pad, 'p') +
                               "\r\nHost: " + origin.address() +
                               "\r\nUser-Agent: " + InternetExplorer + "\r\n\r\n";
    ASSERT_EQ(second.find("Host:"), 16384u - 3);
    const std::size_t before = origin.received().size();
    ASSERT_TRUE(client.send(second));
    ASSERT_TRUE(origin.waitForBytes(before + second.size() - 7 - origin.address().size()));
    const std::string relayed = origin.received().substr(before);
    EXPECT_EQ(relayed.rfind("GET /second HTTP/1.1\r\n", 0), 0u) << relayed.substr(0, 80);
}

TEST_F(EngineTest, NonBrowserGoesUnchangedThroughOneHopAsATunnel)
{
    OriginServer upstream(OriginServer::Mode::Echo, "127.0.0.1", testsupport::freePort());
    useFilters(false, true);
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    Client client(m_port);
    const std::string request = proxyRequest("example.com", "/x", "curl/7.88.1");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.receive(request.size()), request); // no rewrite, no response filter
    const std::string more = "secret Host: example.com\r\nhttp://example.com/y\r\n";
    ASSERT_TRUE(client.send(more));
    EXPECT_EQ(client.receive(more.size()), more);
    EXPECT_EQ(upstream.received(), request + more);
    EXPECT_EQ(chainCalls(), "V1,C,V0");
    EXPECT_EQ(filterResponses(), 0);
}

TEST_F(EngineTest, TodaysBrowsersGoDirectUnlessModernBrowsersIsZero)
{
    OriginServer origin;
    OriginServer upstream(OriginServer::Mode::Echo, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    namespace a = testsupport::agents;
    for (const char* agent : {a::FirefoxLinux, a::ChromiumDebian, a::Edge, a::SafariMac}) {
        Client client(m_port);
        ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/page", agent)));
        EXPECT_EQ(client.responseBody(), "target=/page") << agent;
    }
    EXPECT_EQ(chainCalls(), "");
    EXPECT_EQ(upstream.received(), "");

    // Switched off, only the three words count: Firefox goes through one hop.
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("MODERNBROWSERS", 0);
    Client client(m_port);
    const std::string request = proxyRequest(origin.address(), "/page", a::FirefoxLinux);
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.receive(request.size()), request);
    EXPECT_EQ(chainCalls(), "V1,C,V0");
    Client ie(m_port);
    ASSERT_TRUE(ie.send(proxyRequest(origin.address(), "/ie")));
    EXPECT_EQ(ie.responseBody(), "target=/ie");
}

TEST_F(EngineTest, ConnectFromABrowserBecomesATunnel)
{
    OriginServer upstream(OriginServer::Mode::Echo, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    Client client(m_port);
    const std::string request = "CONNECT example.com:443 HTTP/1.1\r\nHost: example.com:443\r\n"
                                "User-Agent: " +
                                std::string(InternetExplorer) + "\r\n\r\n";
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.receive(request.size()), request);
    const std::string tls(3000, '\x16');
    ASSERT_TRUE(client.send(tls));
    EXPECT_EQ(client.receive(tls.size()), tls);
    EXPECT_EQ(chainCalls(), "V1,C,V0");
}

TEST_F(EngineTest, FailedSingleHopShowsFailedToConnectAndLeavesSingleHopMode)
{
    ASSERT_TRUE(start());
    Client client(m_port);
    // The box is answered only once the program has seen its connection closed (or
    // after a bound): a box shown before the close would hold the program.
    std::atomic<int> closedBeforeAnswer{-1};
    m_boxes->setAnswerFunction([&](const platform::MessageBoxCall&) {
        pollfd p{client.socket(), POLLIN, 0};
        char byte = 0;
        const bool closed = ::poll(&p, 1, 3000) == 1 &&
                            ::recv(client.socket(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
        closedBeforeAnswer = closed ? 1 : 0;
        return IDOK;
    });
    ASSERT_TRUE(client.send(proxyRequest("example.com", "/", "Wget/1.21")));
    EXPECT_TRUE(client.closedByPeer());
    ASSERT_TRUE(testsupport::waitFor([&] { return closedBeforeAnswer.load() != -1; }));
    EXPECT_EQ(closedBeforeAnswer.load(), 1);
    auto box = m_boxes->calls().front();
    EXPECT_EQ(box.text, "Failed to connect");
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.buttons(), MB_OK);
    EXPECT_EQ(chainCalls(), "V1,C,V0");
}

TEST_F(EngineTest, ChainInUseSendsEverythingUnchangedThroughCreateChain)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey).writeDword("CONNECTCHAIN", 0);
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword("ANONYMITYLEVEL", 3);
    OriginServer upstream(OriginServer::Mode::Http, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    Client client(m_port);
    const std::string request = proxyRequest("example.com", "/chained");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.responseBody(), "target=http://example.com/chained");
    EXPECT_EQ(upstream.received(), request);
    EXPECT_EQ(chainCalls(), "C");
    EXPECT_EQ(m_state->lastRequest.texts().destination, " example.com\r");
}

TEST_F(EngineTest, FirewallProxyFailureIsReported)
{
    ASSERT_TRUE(start());
    m_state->firewall.enabled = true;
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest("example.com", "/")));
    EXPECT_TRUE(client.closedByPeer());
    ASSERT_TRUE(testsupport::waitFor([&] { return !m_boxes->calls().empty(); }));
    EXPECT_EQ(m_boxes->texts(),
              std::vector<std::string>{"There are problems with your Firewall Settings"});
    EXPECT_EQ(m_boxes->calls().front().caption, Caption);
    EXPECT_EQ(chainCalls(), "C");
}

TEST_F(EngineTest, FirewallProxyGetsTheRequestUnchanged)
{
    OriginServer upstream(OriginServer::Mode::Http, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    m_state->firewall.enabled = true;
    Client client(m_port);
    const std::string request = proxyRequest("example.com", "/fw");
    ASSERT_TRUE(client.send(request));
    EXPECT_EQ(client.responseBody(), "target=http://example.com/fw");
    EXPECT_EQ(upstream.received(), request);
}

TEST_F(EngineTest, FiltersEditRequestsAndResponsesOfEveryChunk)
{
    OriginServer origin;
    origin.setBody([](const std::string& target) { return "secret of " + target; });
    useFilters(true, true);
    ASSERT_TRUE(start());
    setFilterMode(Mark);
    Client client(m_port);
    ASSERT_TRUE(
        client.send(proxyRequest(origin.address(), "/a", InternetExplorer, "X-Filter-Me: 1\r\n")));
    EXPECT_EQ(client.responseBody(), "XXXXXX of /a");
    ASSERT_TRUE(
        client.send(proxyRequest(origin.address(), "/b", InternetExplorer, "X-Filter-Me: 2\r\n")));
    EXPECT_EQ(client.responseBody(), "XXXXXX of /b");
    EXPECT_EQ(origin.received(),
              originRequest(origin.address(), "/a", InternetExplorer, "X-Filtered!: 1\r\n") +
                  originRequest(origin.address(), "/b", InternetExplorer, "X-Filtered!: 2\r\n"));
    EXPECT_EQ(filterRequests(), 2);
    EXPECT_EQ(outstandingFilterBuffers(), 0);
    EXPECT_EQ(filterLocalAddress(), "127.0.0.1"); // known from the first outgoing socket on
}

TEST_F(EngineTest, FilteringOffLeavesBytesAlone)
{
    OriginServer origin;
    origin.setBody([](const std::string&) { return std::string("secret"); });
    useFilters(false, false);
    ASSERT_TRUE(start());
    setFilterMode(Mark);
    Client client(m_port);
    ASSERT_TRUE(
        client.send(proxyRequest(origin.address(), "/", InternetExplorer, "X-Filter-Me: 1\r\n")));
    EXPECT_EQ(client.responseBody(), "secret");
    EXPECT_EQ(filterRequests(), 0);
    EXPECT_EQ(filterResponses(), 0);
}

TEST_F(EngineTest, FilteredRequestLongerThanAChunkIsSentWhole)
{
    OriginServer origin;
    useFilters(true, false);
    ASSERT_TRUE(start());
    setFilterMode(Long, 20000);
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/long")));
    EXPECT_EQ(client.responseBody(), "target=/long");
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/again")));
    EXPECT_EQ(client.responseBody(), "target=/again");
    const std::size_t absolutePart = std::string("http://").size() + origin.address().size();
    auto sent = origin.connections();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 2 * (20000 - absolutePart));
    EXPECT_EQ(outstandingFilterBuffers(), 0);
}

TEST_F(EngineTest, NullFilterResultSendsTheBytesAsTheFilterLeftThem)
{
    OriginServer origin(OriginServer::Mode::Record);
    useFilters(true, false);
    ASSERT_TRUE(start());
    setFilterMode(Null);
    Client client(m_port);
    const std::string request = proxyRequest(origin.address(), "/blocked");
    ASSERT_TRUE(client.send(request));
    ASSERT_TRUE(origin.waitForBytes(request.size()));
    EXPECT_EQ(origin.received(), std::string(request.size(), ' '));
}

TEST_F(EngineTest, ZeroLengthFilterResultKeepsTheRequestAndFreesTheBuffer)
{
    OriginServer origin;
    useFilters(true, false);
    ASSERT_TRUE(start());
    setFilterMode(ZeroLength);
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/z")));
    EXPECT_EQ(client.responseBody(), "target=/z");
    EXPECT_EQ(origin.received(), originRequest(origin.address(), "/z"));
    EXPECT_EQ(outstandingFilterBuffers(), 0);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
