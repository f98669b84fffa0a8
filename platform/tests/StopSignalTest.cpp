// The stop signal and the waits it cuts short: what the proxy's shutdown relies on to
// reach a connection thread blocked in a connect, a lookup, a reply wait or a pause.

#include <platform/StopSignal.h>

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A listener whose accept queue is full: further connects get no answer at all, as
// with a proxy that never answers.
class SilentListener {
public:
    SilentListener()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 0);
        socklen_t size = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
        m_address = address;
        // One connection fills the queue (a backlog of 0 holds one).
        const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address);
        m_fillers.push_back(filler);
    }
    ~SilentListener()
    {
        for (int s : m_fillers) {
            ::close(s);
        }
        ::close(m_listen);
    }
    const sockaddr_in& address() const { return m_address; }

private:
    int m_listen = -1;
    sockaddr_in m_address{};
    std::vector<int> m_fillers;
};

// Runs body on a thread watching signal; the future ends with body.
template <typename Body> auto watching(std::shared_ptr<platform::StopSignal> signal, Body body)
{
    return std::async(std::launch::async, [signal, body] {
        platform::StopSignal::Scope scope(signal);
        return body();
    });
}

TEST(StopSignalTest, AConnectToAHopThatNeverAnswersEndsAtTheStop)
{
    SilentListener silent;
    auto signal = std::make_shared<platform::StopSignal>();
    auto connecting = watching(signal, [&] {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        const bool connected = platform::connectWithin(s, silent.address(), 60000);
        ::close(s);
        return connected;
    });
    EXPECT_EQ(connecting.wait_for(200ms), std::future_status::timeout) << "the hop answered";
    signal->raise();
    ASSERT_EQ(connecting.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(connecting.get());
}

TEST(StopSignalTest, AConnectEndsWithItsTimeOut)
{
    SilentListener silent;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_FALSE(platform::connectWithin(s, silent.address(), 100));
    ::close(s);
}

TEST(StopSignalTest, WaitsAndPausesEndAtTheStopAndStayEnded)
{
    auto signal = std::make_shared<platform::StopSignal>();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    auto waiting = watching(signal, [&] { return platform::waitForSocket(pair[0], POLLIN, -1); });
    auto pausing = watching(signal, [] { return platform::sleepUnlessStopped(60000); });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    signal->raise();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(pausing.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), platform::WaitResult::Stopped);
    EXPECT_FALSE(pausing.get());
    // Raised for good: a later wait on a watching thread does not block at all.
    auto later = watching(signal, [] {
        return std::make_pair(platform::stopRequested(),
                              platform::resolveIPv4("localhost", 60000).has_value());
    });
    ASSERT_EQ(later.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(later.get(), std::make_pair(true, false));
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(StopSignalTest, ThreadsWithoutTheSignalAreNotStopped)
{
    auto signal = std::make_shared<platform::StopSignal>();
    signal->raise();
    EXPECT_FALSE(platform::stopRequested());
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(::send(pair[1], "x", 1, 0), 1);
    EXPECT_EQ(platform::waitForSocket(pair[0], POLLIN, 1000), platform::WaitResult::Ready);
    EXPECT_EQ(platform::waitForSocket(pair[1], POLLIN, 10), platform::WaitResult::TimedOut);
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(StopSignalTest, LookupsAnswerDottedAddressesAndRefuseNonsense)
{
    std::optional<in_addr> dotted = platform::resolveIPv4("127.0.0.9", 0);
    ASSERT_TRUE(dotted.has_value());
    EXPECT_EQ(ntohl(dotted->s_addr), 0x7F000009u);
    EXPECT_FALSE(platform::resolveIPv4("", 1000).has_value());
    EXPECT_FALSE(platform::resolveIPv4(std::string("a\0b", 3), 1000).has_value());
    EXPECT_FALSE(platform::resolveIPv4("no-such-host.invalid", 10000).has_value());
    std::optional<in_addr> local = platform::resolveIPv4("localhost", 10000);
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(ntohl(local->s_addr) >> 24, 127u);
}

} // namespace
