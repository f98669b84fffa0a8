// The server object and its sessions: start, stop and restart, the listening address,
// the accept loop and what happens to connections around a stop.

#include "EngineFixture.h"
#include "engine/ConnectionTracker.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <sstream>
#include <thread>
#include <vector>

using namespace enginetest;
using testsupport::OriginServer;

namespace {

// Whether something accepts TCP connections at address:port.
bool accepts(const char* address, int port)
{
    Client probe(port, address);
    return probe.connected();
}

} // namespace

TEST_F(EngineTest, StartWhileListeningReturnsZero)
{
    ASSERT_TRUE(start());
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_EQ(host::startProxy(*m_server), 0);
    EXPECT_EQ(m_server->Start(m_port), 0);
    EXPECT_TRUE(m_server->IsRunning());
    EXPECT_TRUE(accepts("127.0.0.1", m_port));
}

TEST_F(EngineTest, PortInUseFailsTheStart)
{
    int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(m_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    EXPECT_FALSE(start());
    EXPECT_FALSE(m_server->IsRunning());
    EXPECT_FALSE(m_state->serverRunning.load());
    m_server->join(); // the listener thread has ended
    EXPECT_TRUE(m_boxes->texts().empty());
    ::close(blocker);
}

TEST_F(EngineTest, MissingSetVendorRefusesToStart)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey), DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(start());
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text, "Failed to load Dll Module");
    EXPECT_EQ(m_boxes->calls()[0].caption, "Chian");
    EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
    EXPECT_FALSE(accepts("127.0.0.1", m_port));
}

TEST_F(EngineTest, ListensOnLoopbackOnlyByDefault)
{
    ASSERT_TRUE(start());
    EXPECT_TRUE(accepts("127.0.0.1", m_port));
    EXPECT_FALSE(accepts("127.0.0.2", m_port));
}

TEST_F(EngineTest, ListenAllAddressesOpensEveryAddress)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
        .writeDword("LISTENALLADDRESSES", 1);
    ASSERT_TRUE(start());
    EXPECT_TRUE(accepts("127.0.0.1", m_port));
    EXPECT_TRUE(accepts("127.0.0.2", m_port));
}

TEST_F(EngineTest, StopAndRestartOnTheSamePort)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    {
        Client client(m_port);
        ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/before")));
        EXPECT_EQ(client.responseBody(), "target=/before");
    }
    EXPECT_EQ(host::stopProxy(*m_server), 1);
    EXPECT_FALSE(m_server->IsRunning());
    EXPECT_EQ(host::stopProxy(*m_server), 0);
    EXPECT_FALSE(accepts("127.0.0.1", m_port));
    ASSERT_EQ(host::startProxy(*m_server), 1);
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/after")));
    EXPECT_EQ(client.responseBody(), "target=/after");
}

TEST_F(EngineTest, StopClosesAnIdleConnectionAtItsNextReceive)
{
    OriginServer origin;
    useFilters(true, true);
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/one")));
    EXPECT_EQ(client.responseBody(), "target=/one");
    const int filteredBefore = filterRequests();
    ASSERT_EQ(host::stopProxy(*m_server), 1);
    client.send(proxyRequest(origin.address(), "/late"));
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_EQ(origin.received(), originRequest(origin.address(), "/one"));
    EXPECT_EQ(filterRequests(), filteredBefore); // neither filtered nor forwarded
    EXPECT_TRUE(connectionsEnded());
}

TEST_F(EngineTest, ClientPortTextIsTheSourcePort)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/")));
    EXPECT_EQ(client.responseBody(), "target=/");
    EXPECT_EQ(m_state->lastRequest.texts().clientPort, std::to_string(client.localPort()));
}

TEST_F(EngineTest, ClosingTheBrowserSideEndsBothRelays)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    {
        Client client(m_port);
        ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/")));
        EXPECT_EQ(client.responseBody(), "target=/");
        EXPECT_EQ(m_state->connections.connectionCount(), 1u);
    }
    EXPECT_TRUE(connectionsEnded());
    EXPECT_EQ(m_state->connections.connectionCount(), 0u);
    EXPECT_TRUE(m_server->IsRunning());
}

TEST_F(EngineTest, ServerClosingEndsTheConnection)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/")));
    EXPECT_EQ(client.responseBody(), "target=/");
    origin.closeConnections();
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_TRUE(connectionsEnded());
}

TEST_F(EngineTest, SetupThreadThatCannotStartClosesOnlyItsConnection)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    host::ConnectionTracker::failThreadStartsForTests(1);
    Client refused(m_port);
    EXPECT_TRUE(refused.closedByPeer());
    EXPECT_EQ(m_state->connections.connectionCount(), 0u);
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/ok")));
    EXPECT_EQ(client.responseBody(), "target=/ok");
}

TEST_F(EngineTest, RelayThreadThatCannotStartClosesItsConnection)
{
    OriginServer origin(OriginServer::Mode::Record);
    ASSERT_TRUE(start());
    for (int relay = 0; relay < 2; ++relay) {
        host::ConnectionTracker::failThreadStartsForTests(1, 1 + relay); // setup, then relays
        Client client(m_port);
        ASSERT_TRUE(client.send(proxyRequest(origin.address(), "/")));
        EXPECT_TRUE(client.closedByPeer()) << "relay " << relay;
        EXPECT_TRUE(connectionsEnded());
        EXPECT_EQ(m_state->connections.connectionCount(), 0u);
    }
    EXPECT_TRUE(m_server->IsRunning());
}

TEST_F(EngineTest, ClientsBeyondTheDescriptorLimitAreRefusedAtOnceWithoutSpinning)
{
    OriginServer origin;
    ASSERT_TRUE(start());
    // Use up every descriptor but one, which the client then takes: the listener's
    // accept fails with a connection waiting in the queue.
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit low = old;
    low.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> hogs;
    for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0; fd = ::open("/dev/null", O_RDONLY)) {
        hogs.push_back(fd);
    }
    ASSERT_FALSE(hogs.empty());
    ::close(hogs.back());
    hogs.pop_back();
    Client refused(m_port);
    ASSERT_TRUE(refused.connected());
    ASSERT_TRUE(refused.send(proxyRequest(origin.address(), "/short")));
    // Closed at once (or served, should a descriptor have come free), never left
    // waiting in the queue for one.
    const std::string body = refused.responseBody();
    EXPECT_TRUE(body == "target=/short" || refused.closedByPeer(100)) << body;
    for (int fd : hogs) {
        ::close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &old);
    // Pausing between failures: a spinning listener fails many thousand times meanwhile.
    EXPECT_LT(m_server->acceptFailures(), 50u);
    EXPECT_TRUE(m_server->IsRunning());
    Client after(m_port);
    ASSERT_TRUE(after.send(proxyRequest(origin.address(), "/after")));
    EXPECT_EQ(after.responseBody(), "target=/after");
}

// The system's largest accept queue: a burst of clients must not wait for SYN
// retransmissions because a queue of 100 overflowed.
TEST_F(EngineTest, ListensWithTheSystemsLargestBacklog)
{
    ASSERT_TRUE(start());
    const std::string limit = testsupport::readFile("/proc/sys/net/core/somaxconn");
    const int expected = std::min(SOMAXCONN, std::stoi(limit));
    const testsupport::ProcessResult ss =
        testsupport::runProcess({"ss", "-Hltn", "sport = :" + std::to_string(m_port)});
    // State, Recv-Q, Send-Q (the backlog of a listening socket), addresses.
    std::istringstream fields(ss.out);
    std::string state;
    int queued = -1;
    int backlog = -1;
    fields >> state >> queued >> backlog;
    EXPECT_EQ(backlog, expected) << ss.out << ss.err;
}

TEST_F(EngineTest, AFirstRequestThatNeverCompletesIsClosedAfterItsTimeOut)
{
    OriginServer origin;
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
        .writeDword("FIRSTREQUESTTIMEOUT", 1);
    ASSERT_TRUE(start());
    Client old(m_port);     // an HTTP/0.9 line: no "Host:" ever comes
    Client lower(m_port);   // a lower-case "host:" line is no host line here
    Client trickle(m_port); // a head that stops half-way
    ASSERT_TRUE(old.send("GET /\r\n"));
    ASSERT_TRUE(lower.send("GET http://x/ HTTP/1.1\r\nhost: x\r\n\r\n"));
    ASSERT_TRUE(trickle.send("GET http://x/ HTTP/1.1\r\nHo"));
    for (Client* client : {&old, &lower, &trickle}) {
        EXPECT_TRUE(client->closedByPeer(10000));
    }
    EXPECT_TRUE(connectionsEnded());
    EXPECT_EQ(origin.connectionCount(), 0u);
    // The others are served as before.
    Client fine(m_port);
    ASSERT_TRUE(fine.send(proxyRequest(origin.address(), "/fine")));
    EXPECT_EQ(fine.responseBody(), "target=/fine");
}

TEST_F(EngineTest, ASilentClientGetsNoChainAndIsClosedAfterTheFirstRequestTimeOut)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey).writeDword("CONNECTCHAIN", 0);
    settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    main.writeDword("ANONYMITYLEVEL", 3);
    main.writeDword("FIRSTREQUESTTIMEOUT", 1);
    OriginServer upstream(OriginServer::Mode::Http, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    Client silent(m_port);
    EXPECT_TRUE(silent.closedByPeer(10000));
    EXPECT_TRUE(connectionsEnded());
    EXPECT_EQ(chainCalls(), ""); // no chain was built for it
    EXPECT_EQ(upstream.connectionCount(), 0u);
    // A client that speaks still goes through the chain.
    Client client(m_port);
    ASSERT_TRUE(client.send(proxyRequest("example.com", "/chained")));
    EXPECT_EQ(client.responseBody(), "target=http://example.com/chained");
    EXPECT_EQ(chainCalls(), "C");
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
