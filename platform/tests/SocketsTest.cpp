// The Winsock names over BSD sockets: what the relay asks of ioctlsocket.

#include <platform/Sockets.h>

#include <gtest/gtest.h>
#include <sys/socket.h>

namespace {

class SocketPair : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, m_ends), 0); }
    void TearDown() override
    {
        closesocket(m_ends[0]);
        closesocket(m_ends[1]);
    }
    int m_ends[2] = {-1, -1};
};

TEST_F(SocketPair, FionreadCountsTheBytesWaitingAndNoneOnceTheyAreRead)
{
    ULONG waiting = 99;
    ASSERT_EQ(ioctlsocket(m_ends[1], FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0u);
    ASSERT_EQ(::send(m_ends[0], "hello", 5, 0), 5);
    ASSERT_EQ(::send(m_ends[0], " there", 6, 0), 6);
    ASSERT_EQ(ioctlsocket(m_ends[1], FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 11u);
    char bytes[16];
    ASSERT_EQ(::recv(m_ends[1], bytes, sizeof bytes, 0), 11);
    ASSERT_EQ(ioctlsocket(m_ends[1], FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0u);
}

TEST_F(SocketPair, FionreadFailsOnAClosedSocketOrWithoutAPlaceForTheCount)
{
    EXPECT_EQ(ioctlsocket(m_ends[1], FIONREAD, nullptr), SOCKET_ERROR);
    const int closed = m_ends[1];
    closesocket(m_ends[1]);
    m_ends[1] = -1;
    ULONG waiting = 7;
    EXPECT_EQ(ioctlsocket(closed, FIONREAD, &waiting), SOCKET_ERROR);
    EXPECT_EQ(waiting, 7u); // left as it was
}

} // namespace
