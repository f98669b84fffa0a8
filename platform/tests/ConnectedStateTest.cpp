// InternetGetConnectedState: the route tables decide, loopback and link-local routes do
// not count, and UMBRAVIA_CONNECTED_STATE overrides the tables.

#include <platform/WinInet.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* Ipv4Header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(ConnectedStateTest, OnlyRoutesBeyondLoopbackCount)
{
    const std::string loopbackOnly =
        std::string(Ipv4Header) + "lo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n";
    const std::string lan =
        std::string(Ipv4Header) + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const std::string lanDown =
        std::string(Ipv4Header) + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n";
    EXPECT_FALSE(platform::routesReachBeyondLoopback(Ipv4Header, ""));
    EXPECT_FALSE(platform::routesReachBeyondLoopback(loopbackOnly, ""));
    EXPECT_TRUE(platform::routesReachBeyondLoopback(lan, ""));
    EXPECT_FALSE(platform::routesReachBeyondLoopback(lanDown, ""));

    const std::string zeros(32, '0');
    const std::string linkLocal = "fe800000000000000000000000000000 40 " + zeros + " 00 " + zeros +
                                  " 00000100 00000001 00000000 00000001 eth0\n";
    const std::string ipv6Default =
        zeros + " 00 " + zeros + " 00 " + zeros + " 00000400 00000001 00000000 00000003 wlan0\n";
    const std::string ipv6Loopback = "00000000000000000000000000000001 80 " + zeros + " 00 " +
                                     zeros + " 00000000 00000001 00000000 00000001 lo\n";
    EXPECT_FALSE(platform::routesReachBeyondLoopback(loopbackOnly, linkLocal + ipv6Loopback));
    EXPECT_TRUE(platform::routesReachBeyondLoopback(loopbackOnly, ipv6Default));
}

TEST(ConnectedStateTest, TheVariableDecidesAndFlagsFollow)
{
    ::setenv("UMBRAVIA_CONNECTED_STATE", "offline", 1);
    DWORD flags = 0;
    EXPECT_FALSE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(flags, INTERNET_CONNECTION_OFFLINE);
    ::setenv("UMBRAVIA_CONNECTED_STATE", "online", 1);
    EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(flags, INTERNET_CONNECTION_LAN);
    EXPECT_TRUE(InternetGetConnectedState(nullptr, 0));
    ::unsetenv("UMBRAVIA_CONNECTED_STATE");
}

} // namespace
