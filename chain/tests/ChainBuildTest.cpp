// Chains built through real tinyproxy hops to a local origin server, and the ways a
// build fails.

#include "ChainTestFixture.h"
#include "TinyProxy.h"

#include <platform/StopSignal.h>

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <numeric>
#include <thread>

namespace chaintest {

using testsupport::TinyProxy;
namespace {

const std::string Body = "hello through the chain";

// Three tinyproxy instances, each allowed to CONNECT to the others.
class TinyProxyChainTest : public ChainFixture {
protected:
    void SetUp() override
    {
        ChainFixture::SetUp();
        if (!TinyProxy::available()) {
            GTEST_SKIP() << "tinyproxy is not installed (scripts/install-deps.sh --tests)";
        }
        std::vector<int> ports;
        for (int i = 0; i < 4; ++i) {
            ports.push_back(testsupport::freePort());
        }
        for (int i = 0; i < 4; ++i) {
            m_proxies.push_back(std::make_unique<TinyProxy>(
                m_prefix.path() / ("tinyproxy" + std::to_string(i)), ports[i], ports));
            ASSERT_TRUE(m_proxies.back()->start()) << m_proxies.back()->log();
        }
        // The fourth one is the firewall proxy; the list holds the first three.
        downloadList({m_proxies[0]->address(), m_proxies[1]->address(), m_proxies[2]->address()});
    }

    int totalConnects(int proxies = 3) const
    {
        int sum = 0;
        for (int i = 0; i < proxies; ++i) {
            sum += m_proxies[i]->connectRequests();
        }
        return sum;
    }
    int totalRequests(int proxies = 3) const
    {
        int sum = 0;
        for (int i = 0; i < proxies; ++i) {
            sum += m_proxies[i]->requests();
        }
        return sum;
    }

    // Builds a chain and carries one GET to the origin through it.
    void carryRequest()
    {
        SOCKET s = createChain();
        ASSERT_NE(s, INVALID_SOCKET);
        std::string answer = fetchThrough(s, m_origin.port());
        EXPECT_NE(answer.find(Body), std::string::npos) << answer;
        EXPECT_EQ(m_origin.requests().size(), 1u);
    }

    LoopbackServer m_origin{LoopbackServer::origin(Body)};
    std::vector<std::unique_ptr<TinyProxy>> m_proxies;
};

TEST_F(TinyProxyChainTest, OneHopCarriesTheRequestWithoutConnect)
{
    setChain("PATHLENGTH", 1);
    carryRequest();
    EXPECT_EQ(totalConnects(), 0);
    EXPECT_EQ(totalRequests(), 1);
}

TEST_F(TinyProxyChainTest, TwoHopsUseOneConnect)
{
    setChain("PATHLENGTH", 2);
    carryRequest();
    EXPECT_TRUE(testsupport::waitFor([&] { return totalRequests() == 2; }));
    EXPECT_EQ(totalConnects(), 1);
}

TEST_F(TinyProxyChainTest, ThreeHopsPassEveryProxyOnce)
{
    setChain("PATHLENGTH", 3);
    carryRequest();
    EXPECT_TRUE(testsupport::waitFor([&] { return totalRequests() == 3; }));
    EXPECT_EQ(totalConnects(), 2);
    // The cursor hands out consecutive entries, so each proxy is one hop.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_proxies[i]->requests(), 1) << "proxy " << i;
    }
}

TEST_F(TinyProxyChainTest, FirewallIsTheFirstHopAndEveryPublicProxyATunnel)
{
    setChain("PATHLENGTH", 2);
    setFirewall(m_proxies[3]->port());
    carryRequest();
    EXPECT_TRUE(testsupport::waitFor([&] { return totalRequests(4) == 3; }));
    EXPECT_EQ(m_proxies[3]->connectRequests(), 1); // the first public proxy
    EXPECT_EQ(totalConnects(4), 2);
}

TEST_F(TinyProxyChainTest, SingleHopFlagMakesOneConnectionWhateverThePathLength)
{
    setChain("PATHLENGTH", 3);
    setVendor(1);
    carryRequest();
    EXPECT_EQ(totalConnects(), 0);
    EXPECT_EQ(totalRequests(), 1);
}

// Behind the firewall proxy every public proxy is a tunnel, so builds running at once
// share the list's cursor without ever drawing the same proxy twice in a row (which
// tinyproxy would refuse as a loop).
TEST_F(TinyProxyChainTest, ConcurrentBuildsEachReachTheOrigin)
{
    setChain("PATHLENGTH", 1);
    setFirewall(m_proxies[3]->port());
    constexpr int Builds = 4;
    std::vector<std::string> answers(Builds);
    std::vector<std::thread> threads;
    for (int i = 0; i < Builds; ++i) {
        threads.emplace_back([&, i] {
            SOCKET s = createChain();
            answers[i] = s == INVALID_SOCKET ? "" : fetchThrough(s, m_origin.port());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const std::string& answer : answers) {
        EXPECT_NE(answer.find(Body), std::string::npos) << answer;
    }
    EXPECT_EQ(m_origin.requests().size(), static_cast<size_t>(Builds));
    EXPECT_TRUE(testsupport::waitFor([&] { return m_proxies[3]->connectRequests() == Builds; }));
}

// The anonymity level adjusts the number of public proxies: {level, PATHLENGTH, CONNECTs}.
struct LevelCase {
    DWORD level;
    DWORD pathLength;
    int connects;
};

void PrintTo(const LevelCase& c, std::ostream* os)
{
    *os << "level " << static_cast<int>(c.level) << ", PATHLENGTH " << c.pathLength << ", "
        << c.connects << " CONNECT";
}

class LevelAdjustmentTest : public TinyProxyChainTest,
                            public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelAdjustmentTest, SetsTheNumberOfTunnels)
{
    setMain("ANONYMITYLEVEL", GetParam().level);
    setChain("PATHLENGTH", GetParam().pathLength);
    carryRequest();
    EXPECT_TRUE(testsupport::waitFor([&] { return totalRequests() == GetParam().connects + 1; }));
    EXPECT_EQ(totalConnects(), GetParam().connects);
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelAdjustmentTest,
                         ::testing::Values(LevelCase{1, 5, 0}, LevelCase{2, 5, 0},
                                           LevelCase{3, 5, 1}, LevelCase{4, 5, 4},
                                           LevelCase{4, 1, 1}, LevelCase{0xFFFFFFFF, 3, 2},
                                           LevelCase{0, 2, 1}, LevelCase{0xFFFFFFFF, 0, 0}),
                         [](const ::testing::TestParamInfo<LevelCase>& info) {
                             std::string level = info.param.level == 0xFFFFFFFF
                                                     ? "None"
                                                     : std::to_string(info.param.level);
                             return "Level" + level + "PathLength" +
                                    std::to_string(info.param.pathLength);
                         });

// Scripted hops: a refusing proxy, a silent one.
class ScriptedHopTest : public ChainFixture {};

TEST_F(ScriptedHopTest, RefusedHopRebuildsABoundedNumberOfTimesThenFails)
{
    LoopbackServer refuser(LoopbackServer::scriptedHop("HTTP/1.0 403 Forbidden\r\n\r\n"));
    setList({"127.0.0.1:" + std::to_string(refuser.port())});
    setChain("PATHLENGTH", 2);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return refuser.peerCloses() == 3; }));
    EXPECT_EQ(refuser.connections(), 3); // ChainBuilder::MaxBuilds
    for (const std::string& request : refuser.requests()) {
        EXPECT_EQ(request, "CONNECT 127.0.0.1:" + std::to_string(refuser.port()) +
                               " HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\n\r\n");
    }
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ScriptedHopTest, RefusedHopIsRebuiltOnAFreshSocket)
{
    std::atomic<int> answered{0};
    LoopbackServer hop([&](int fd, LoopbackServer& server) {
        if (server.readHead(fd).empty()) {
            return;
        }
        LoopbackServer::sendAll(fd, answered++ == 0
                                        ? "HTTP/1.0 403 Forbidden\r\n\r\n"
                                        : "HTTP/1.0 200 Connection established\r\n\r\n");
        server.waitForPeerClose(fd);
    });
    setList({"127.0.0.1:" + std::to_string(hop.port())});
    setChain("PATHLENGTH", 2);
    SOCKET s = createChain();
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return hop.peerCloses() == 1; })); // the refused one
    EXPECT_EQ(hop.connections(), 2);
    closesocket(s);
}

TEST_F(ScriptedHopTest, ReplyIsAcceptedWhenItContains200Anywhere)
{
    LoopbackServer accepting(
        LoopbackServer::scriptedHop("HTTP/1.0 200 Connection established\r\n\r\n"));
    LoopbackServer oddRefusal(
        LoopbackServer::scriptedHop("HTTP/1.0 403 Forbidden\r\n\r\nError 200"));
    for (LoopbackServer* hop : {&accepting, &oddRefusal}) {
        setList({"127.0.0.1:" + std::to_string(hop->port())});
        setChain("PATHLENGTH", 2);
        SOCKET s = createChain();
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_TRUE(testsupport::waitFor([&] { return hop->connections() == 1; }));
        closesocket(s);
    }
}

TEST_F(ScriptedHopTest, SilentHopFailsAfterTheTimeOutAndTheSocketIsClosed)
{
    LoopbackServer silent(LoopbackServer::scriptedHop(""));
    setList({"127.0.0.1:" + std::to_string(silent.port())});
    setChain("PATHLENGTH", 2);
    setChain("CONNTIMEOUT", 300);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return silent.peerCloses() == 1; }));
    EXPECT_EQ(silent.connections(), 1); // a time-out is not retried
}

TEST_F(ScriptedHopTest, ConnectionTimeOutsBelow100MeanFiveSeconds)
{
    LoopbackServer hop(LoopbackServer::scriptedHop(""));
    setList({"127.0.0.1:" + std::to_string(hop.port())});
    setVendor(1);
    for (auto [setting, expectedMs] :
         {std::pair<DWORD, int>{50, 5000}, {0, 5000}, {100, 100}, {10000, 10000}}) {
        setChain("CONNTIMEOUT", setting);
        SOCKET s = createChain();
        ASSERT_NE(s, INVALID_SOCKET);
        for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
            timeval tv{};
            socklen_t length = sizeof tv;
            ASSERT_EQ(getsockopt(s, SOL_SOCKET, option, &tv, &length), 0);
            EXPECT_EQ(tv.tv_sec * 1000 + tv.tv_usec / 1000, expectedMs)
                << "CONNTIMEOUT " << setting;
        }
        closesocket(s);
    }
}

TEST_F(ScriptedHopTest, DeadFirstHopMovesToTheNextProxy)
{
    LoopbackServer hop(LoopbackServer::scriptedHop(""));
    setList({"127.0.0.1:" + std::to_string(testsupport::freePort()), "no-such-host.invalid:8080",
             "127.0.0.1:" + std::to_string(hop.port())});
    setVendor(1);
    SOCKET s = createChain();
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return hop.connections() == 1; }));
    closesocket(s);
}

TEST_F(ScriptedHopTest, OnePassOverDeadProxiesThenFailure)
{
    setList({"127.0.0.1:" + std::to_string(testsupport::freePort()), "no-such-host.invalid:8080"});
    setVendor(1);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ScriptedHopTest, UnresolvableSingleHopFailsAtOnce)
{
    setList({"no-such-host.invalid:8080"});
    setVendor(1);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
}

TEST_F(ScriptedHopTest, EmptyListFailsWhenAPublicProxyIsNeeded)
{
    setList({});
    setChain("PATHLENGTH", 1);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ScriptedHopTest, FirewallThatRefusesFailsWithoutABox)
{
    setList({});
    // Nothing listens there; 0 and 70000 are no ports at all (70000 must not become 4464).
    for (int port : {testsupport::freePort(), 0, 70000}) {
        setFirewall(port);
        EXPECT_EQ(createChain(), INVALID_SOCKET) << port;
    }
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ScriptedHopTest, FirewallSingleHopNeedsNoList)
{
    LoopbackServer firewall(LoopbackServer::scriptedHop(""));
    setList({});
    setFirewall(firewall.port());
    setChain("PATHLENGTH", 3);
    setVendor(1);
    SOCKET s = createChain();
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return firewall.connections() == 1; }));
    closesocket(s);
}

TEST_F(ScriptedHopTest, FirewallWithoutPublicProxiesFailsBeforeSendingAnything)
{
    LoopbackServer firewall(LoopbackServer::scriptedHop("HTTP/1.0 200 OK\r\n\r\n"));
    setList({});
    setFirewall(firewall.port());
    setChain("PATHLENGTH", 1);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    // Not even a connection, and no "CONNECT :80" to a proxy the list never named.
    EXPECT_EQ(firewall.connections(), 0);
    EXPECT_TRUE(firewall.requests().empty());
}

TEST_F(ScriptedHopTest, ABuildOverDeadProxiesEndsWithinFourTimeOuts)
{
    std::vector<std::string> dead;
    for (int i = 0; i < 8; ++i) {
        dead.push_back("127.0.0.1:" + std::to_string(testsupport::freePort()));
    }
    setList(dead);
    setChain("CONNTIMEOUT", 200);
    setVendor(1);
    // One pass over the list would pause a second before each of the 8 attempts.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(ScriptedHopTest, TheHostsStopEndsABuildWaitingForASilentHop)
{
    LoopbackServer firewall(LoopbackServer::scriptedHop(""));
    setList({"127.0.0.1:" + std::to_string(firewall.port())});
    setFirewall(firewall.port());
    setChain("PATHLENGTH", 1);
    setChain("CONNTIMEOUT", 60000);
    auto stop = std::make_shared<platform::StopSignal>();
    auto building = std::async(std::launch::async, [&] {
        platform::StopSignal::Scope watching(stop);
        return createChain();
    });
    ASSERT_TRUE(testsupport::waitFor([&] { return firewall.requests().size() == 1; }));
    EXPECT_EQ(building.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    stop->raise();
    ASSERT_EQ(building.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(building.get(), INVALID_SOCKET);
    EXPECT_TRUE(testsupport::waitFor([&] { return firewall.peerCloses() == 1; }));
}

// Registry failures: each build fails with its box and makes no connection.
TEST_F(ScriptedHopTest, MissingPathSelectTypeFailsEveryBuildWithItsBox)
{
    LoopbackServer hop(LoopbackServer::scriptedHop(""));
    setList({"127.0.0.1:" + std::to_string(hop.port())});
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    ASSERT_EQ(RegDeleteValue(key.get(), "PATHSELECTTYPE"), ERROR_SUCCESS);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    EXPECT_EQ(createChain(), INVALID_SOCKET);
    ASSERT_EQ(m_boxes->calls().size(), 2u);
    for (const platform::MessageBoxCall& box : m_boxes->calls()) {
        EXPECT_EQ(box.text, "Invalide registry data");
        EXPECT_EQ(box.caption, "Proxy Chain Settings");
        EXPECT_EQ(box.icon(), MB_ICONERROR);
    }
    EXPECT_EQ(hop.connections(), 0);
}

} // namespace
} // namespace chaintest

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
