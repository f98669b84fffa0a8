// A stand-in Chain module for the engine tests: CreateChain connects to one upstream
// address the test names (or fails when none is named), and every SetVendor and
// CreateChain call is logged in order ("V1", "C", "V0").

#include <common/PluginContract.h>
#include <platform/Modules.h>
#include <platform/Sockets.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {
std::mutex g_mutex; // guards everything below
std::string g_address;
int g_port = 0;
std::string g_calls;

void logCall(const char* call)
{
    std::lock_guard lock(g_mutex);
    if (!g_calls.empty()) {
        g_calls += ',';
    }
    g_calls += call;
}
} // namespace

UMBRAVIA_EXPORT SOCKET CreateChain() noexcept
{
    logCall("C");
    std::string address;
    int port = 0;
    {
        std::lock_guard lock(g_mutex);
        address = g_address;
        port = g_port;
    }
    if (port == 0) {
        return INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(port));
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

UMBRAVIA_EXPORT int SetVendor(int mode) noexcept
{
    logCall(mode == 1 ? "V1" : mode == 0 ? "V0" : "V?");
    return mode;
}

// Test controls: the upstream (port 0: CreateChain fails) and the call log.
UMBRAVIA_EXPORT void TestChainSetTarget(const char* address, int port) noexcept
{
    std::lock_guard lock(g_mutex);
    g_address = address != nullptr ? address : "";
    g_port = port;
}

UMBRAVIA_EXPORT int TestChainCalls(char* out, int size) noexcept
{
    std::lock_guard lock(g_mutex);
    if (out != nullptr && size > 0) {
        std::strncpy(out, g_calls.c_str(), static_cast<std::size_t>(size) - 1);
        out[size - 1] = '\0';
    }
    return static_cast<int>(g_calls.size());
}
