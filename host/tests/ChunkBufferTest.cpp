// The relay's chunk buffer over real sockets: one receive of at most a chunk, the zero
// after it, and what the socket says is left behind.

#include "engine/ChunkBuffer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <string>

namespace {

using host::ChunkBuffer;

// A connected loopback TCP pair.
class TcpPair : public ::testing::Test {
protected:
    void SetUp() override
    {
        const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(listening, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(::listen(listening, 1), 0);
        ASSERT_EQ(::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size), 0);
        m_sender = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(::connect(m_sender, reinterpret_cast<sockaddr*>(&address), size), 0);
        m_receiver = ::accept(listening, nullptr, nullptr);
        ::close(listening);
        ASSERT_GE(m_receiver, 0);
    }
    void TearDown() override
    {
        ::close(m_sender);
        ::close(m_receiver);
    }
    // Sends bytes and waits until all of them wait at the receiver.
    void sendAndWait(const std::string& bytes)
    {
        ASSERT_EQ(::send(m_sender, bytes.data(), bytes.size(), 0),
                  static_cast<ssize_t>(bytes.size()));
        for (int tries = 0; tries < 500; ++tries) {
            int waiting = 0;
            ASSERT_EQ(::ioctl(m_receiver, FIONREAD, &waiting), 0);
            if (waiting >= static_cast<int>(bytes.size())) {
                return;
            }
            pollfd p{m_receiver, POLLIN, 0};
            ::poll(&p, 1, 10);
        }
        FAIL() << "the bytes never arrived";
    }
    int m_sender = -1;
    int m_receiver = -1;
};

TEST_F(TcpPair, AReceiveTakesAChunkAndTellsWhatIsLeftBehind)
{
    ChunkBuffer::reportWaiting(m_receiver);
    std::string bytes(ChunkBuffer::Capacity + 1000, 'a');
    bytes.back() = 'z';
    sendAndWait(bytes);
    ChunkBuffer chunk;
    ASSERT_EQ(chunk.receive(m_receiver), ChunkBuffer::Capacity);
    EXPECT_EQ(chunk.waiting(), 1000);
    EXPECT_EQ(chunk.data()[ChunkBuffer::Capacity], '\0');
    ASSERT_EQ(chunk.receive(m_receiver), 1000);
    EXPECT_EQ(chunk.waiting(), 0);
    EXPECT_EQ(chunk.text(), bytes.substr(ChunkBuffer::Capacity));
    EXPECT_EQ(chunk.data()[1000], '\0');
}

TEST_F(TcpPair, ASocketNotAskedToReportLeavesTheCountUnknown)
{
    sendAndWait("hello");
    ChunkBuffer chunk;
    ASSERT_EQ(chunk.receive(m_receiver), 5);
    EXPECT_EQ(chunk.waiting(), -1);
    EXPECT_EQ(chunk.text(), "hello");
}

TEST(ChunkBuffer, ASocketThatCannotReportStillReceives)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ChunkBuffer::reportWaiting(ends[1]); // not TCP: refused, and that is all
    ASSERT_EQ(::send(ends[0], "abc", 3, 0), 3);
    ChunkBuffer chunk;
    EXPECT_EQ(chunk.receive(ends[1]), 3);
    EXPECT_EQ(chunk.waiting(), -1);
    EXPECT_EQ(chunk.text(), "abc");
    ::close(ends[0]);
    EXPECT_EQ(chunk.receive(ends[1]), 0); // the peer closed
    EXPECT_EQ(chunk.length(), 0);
    ::close(ends[1]);
}

} // namespace
