// Many clients through one server at once: every response reaches the client that asked
// for it, whole, with the filters called from all connection threads together.

#include "EngineFixture.h"

#include <platform/StopSignal.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace enginetest;
using testsupport::OriginServer;

namespace {
constexpr int Clients = 200;
constexpr int RequestsPerClient = 3;

// A body large enough to take several chunks, unique to its target.
std::string bodyFor(const std::string& target)
{
    std::string body = "target=" + target + ";";
    while (body.size() < 40000) {
        body += target;
    }
    return body;
}
} // namespace

// The exit's guarantee: every counted thread is woken wherever it waits, and none
// starts afterwards, so the modules can go once the count is zero.
TEST(ConnectionTrackerTest, StopAllWakesBlockedThreadsAndRefusesNewOnes)
{
    host::ConnectionTracker tracker;
    std::atomic<int> woken{0};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(tracker.startThread([&] {
            if (!platform::sleepUnlessStopped(60000)) {
                ++woken;
            }
        }));
    }
    EXPECT_FALSE(tracker.waitIdle(std::chrono::milliseconds(50)));
    tracker.stopAll();
    EXPECT_TRUE(tracker.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(woken.load(), 4);
    EXPECT_TRUE(tracker.stopped());
    bool ran = false;
    EXPECT_FALSE(tracker.startThread([&] { ran = true; }));
    EXPECT_EQ(tracker.threadCount(), 0u);
    EXPECT_FALSE(ran);
}

TEST_F(EngineTest, TwoHundredClientsGetTheirOwnResponses)
{
    OriginServer origin;
    origin.setBody(&bodyFor);
    useFilters(true, true);
    ASSERT_TRUE(start());
    setFilterMode(Copy);

    std::atomic<int> good{0};
    std::vector<std::string> failures(Clients);
    std::vector<std::thread> threads;
    for (int i = 0; i < Clients; ++i) {
        threads.emplace_back([&, i] {
            Client client(m_port);
            for (int r = 0; r < RequestsPerClient; ++r) {
                const std::string path = "/c" + std::to_string(i) + "r" + std::to_string(r);
                if (!client.send(proxyRequest(origin.address(), path))) {
                    failures[i] = "send failed";
                    return;
                }
                std::string body = client.responseBody(20000);
                if (body != bodyFor(path)) {
                    failures[i] = path + " got " + body.substr(0, 40);
                    return;
                }
            }
            ++good;
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (int i = 0; i < Clients; ++i) {
        EXPECT_EQ(failures[i], "") << "client " << i;
    }
    EXPECT_EQ(good.load(), Clients);
    EXPECT_EQ(origin.requestCount(), static_cast<std::size_t>(Clients * RequestsPerClient));
    EXPECT_TRUE(connectionsEnded(20000));
    EXPECT_EQ(outstandingFilterBuffers(), 0);
}

TEST_F(EngineTest, TunnelsAndDirectConnectionsSideBySide)
{
    OriginServer origin;
    OriginServer upstream(OriginServer::Mode::Echo, "127.0.0.1", testsupport::freePort());
    ASSERT_TRUE(start());
    setUpstream(upstream.address(), upstream.port());
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 40; ++i) {
        threads.emplace_back([&, i] {
            Client client(m_port);
            const std::string path = "/t" + std::to_string(i);
            if (i % 2 == 0) {
                const std::string request = proxyRequest("example.com", path, "Agent/" + path);
                client.send(request);
                if (client.receive(request.size(), 20000) == request) {
                    ++good;
                }
            } else {
                client.send(proxyRequest(origin.address(), path));
                if (client.responseBody(20000) == "target=" + path) {
                    ++good;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(good.load(), 40);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
