// InternetGetConnectedState over the kernel's route tables.

#include <platform/WinInet.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform {

namespace {

constexpr unsigned long RouteUp = 0x0001; // RTF_UP
constexpr const char* Loopback = "lo";
constexpr const char* StateVariable = "UMBRAVIA_CONNECTED_STATE";

std::vector<std::string> fields(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string field; in >> field;) {
        out.push_back(field);
    }
    return out;
}

bool up(const std::string& hexFlags)
{
    return (std::strtoul(hexFlags.c_str(), nullptr, 16) & RouteUp) != 0;
}

// Iface Destination Gateway Flags ... (one header line).
bool ipv4Reaches(std::string_view table)
{
    std::istringstream in{std::string(table)};
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const std::vector<std::string> row = fields(line);
        if (row.size() >= 4 && row[0] != Loopback && up(row[3])) {
            return true;
        }
    }
    return false;
}

// Destination, its length, source, its length, next hop, metric, references, use, flags,
// interface (no header line).
bool ipv6Reaches(std::string_view table)
{
    std::istringstream in{std::string(table)};
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> row = fields(line);
        if (row.size() < 10 || row[9] == Loopback || !up(row[8])) {
            continue;
        }
        // Link-local and multicast routes exist on every interface that is up at all.
        const std::string& destination = row[0];
        if (destination.rfind("fe80", 0) == 0 || destination.rfind("ff", 0) == 0) {
            continue;
        }
        return true;
    }
    return false;
}

std::string readAll(const char* path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

bool routesReachBeyondLoopback(std::string_view ipv4Routes, std::string_view ipv6Routes)
{
    return ipv4Reaches(ipv4Routes) || ipv6Reaches(ipv6Routes);
}

} // namespace platform

BOOL InternetGetConnectedState(LPDWORD flags, DWORD) noexcept
{
    bool connected = false;
    try {
        const char* forced = std::getenv(platform::StateVariable);
        if (forced != nullptr && std::string(forced) == "online") {
            connected = true;
        } else if (forced != nullptr && std::string(forced) == "offline") {
            connected = false;
        } else {
            connected = platform::routesReachBeyondLoopback(
                platform::readAll("/proc/net/route"), platform::readAll("/proc/net/ipv6_route"));
        }
    } catch (...) {
        connected = false;
    }
    if (flags != nullptr) {
        *flags = connected ? INTERNET_CONNECTION_LAN : INTERNET_CONNECTION_OFFLINE;
    }
    return connected ? TRUE : FALSE;
}
