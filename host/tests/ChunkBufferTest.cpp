// The relay's chunk buffers over real sockets: one receive of at most a chunk (or of a
// batch of chunks), the zero after each chunk, what the socket says is left behind, and
// sends that hand on every byte.

#include "engine/ChunkBuffer.h"

#include "engine/ChunkBatch.h"
#include "engine/ChunkIo.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <string>
#include <thread>

namespace {

using host::ChunkBatch;
using host::ChunkBuffer;

// Bytes that differ from place to place, so that a chunk out of its place shows.
std::string numbered(std::size_t size)
{
    std::string bytes;
    while (bytes.size() < size) {
        bytes += std::to_string(bytes.size()) + ",";
    }
    bytes.resize(size);
    return bytes;
}

// Receives exactly size bytes (fewer if the peer closes first).
std::string receiveExactly(int socket, std::size_t size)
{
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::recv(socket, bytes.data() + got, size - got, 0);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

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

constexpr int Chunk = ChunkBatch::ChunkCapacity;

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

TEST_F(TcpPair, ABatchCutsOneReceiveIntoChunksEachFollowedByItsZero)
{
    ChunkBuffer::reportWaiting(m_receiver);
    const std::string bytes = numbered(3 * Chunk + 500);
    sendAndWait(bytes);
    ChunkBatch batch;
    ASSERT_EQ(batch.receive(m_receiver), 3 * Chunk + 500);
    EXPECT_EQ(batch.waiting(), 0);
    EXPECT_FALSE(batch.full());
    ASSERT_EQ(batch.chunkCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const int length = i < 3 ? Chunk : 500;
        ASSERT_EQ(batch.chunkLength(i), length) << "chunk " << i;
        EXPECT_EQ(std::string(batch.chunk(i), static_cast<std::size_t>(length)),
                  bytes.substr(static_cast<std::size_t>(i) * Chunk, length))
            << "chunk " << i;
        EXPECT_EQ(batch.chunk(i)[length], '\0') << "chunk " << i;
    }
}

TEST_F(TcpPair, ABatchTakesAtMostItsCapacityAndTellsWhatIsLeftBehind)
{
    ChunkBuffer::reportWaiting(m_receiver);
    const std::string bytes = numbered(ChunkBatch::Capacity + 1000);
    sendAndWait(bytes);
    ChunkBatch batch;
    ASSERT_EQ(batch.receive(m_receiver), ChunkBatch::Capacity);
    EXPECT_TRUE(batch.full());
    EXPECT_EQ(batch.chunkCount(), ChunkBatch::Chunks);
    EXPECT_EQ(batch.waiting(), 1000);
    // The next receive starts a new batch: one short chunk, the others empty.
    ASSERT_EQ(batch.receive(m_receiver), 1000);
    EXPECT_EQ(batch.chunkCount(), 1);
    EXPECT_EQ(batch.chunkLength(1), 0);
    EXPECT_EQ(std::string(batch.chunk(0)), bytes.substr(ChunkBatch::Capacity));
    EXPECT_EQ(batch.waiting(), 0);
}

TEST_F(TcpPair, ABatchGoesOnWithItsEditsAndWithoutTheZerosBetweenItsChunks)
{
    const std::string bytes = numbered(2 * Chunk + 700);
    sendAndWait(bytes);
    ChunkBatch batch;
    ASSERT_EQ(batch.receive(m_receiver), 2 * Chunk + 700);
    batch.chunk(1)[0] = '#'; // an edit in place, as the response filter makes
    std::string expected = bytes;
    expected[Chunk] = '#';
    ASSERT_TRUE(batch.sendTo(m_receiver, batch.chunkCount()));
    EXPECT_EQ(receiveExactly(m_sender, expected.size()), expected);
    // Asked for fewer chunks, it sends only those.
    ASSERT_TRUE(batch.sendTo(m_receiver, 1));
    ::shutdown(m_receiver, SHUT_WR);
    EXPECT_EQ(receiveExactly(m_sender, ChunkBatch::Capacity), expected.substr(0, Chunk));
}

TEST(ChunkIo, ASendHandsOnEverySpanInOrderPastAFullSocket)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 4096;
    ::setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::string first = numbered(300000);
    std::string last = numbered(5000);
    std::string received;
    std::thread reader([&] { received = receiveExactly(ends[1], first.size() + last.size()); });
    iovec spans[3] = {{first.data(), first.size()}, {nullptr, 0}, {last.data(), last.size()}};
    EXPECT_TRUE(host::chunkio::sendAll(ends[0], spans, 3, false));
    reader.join();
    EXPECT_EQ(received, first + last);
    ::close(ends[1]);
    iovec again{last.data(), last.size()};
    EXPECT_FALSE(host::chunkio::sendAll(ends[0], &again, 1, false)); // the peer has gone
    ::close(ends[0]);
}

} // namespace
