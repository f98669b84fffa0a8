// A stand-in Filters module for the engine tests. FilterRequest behaves as the test
// chooses (copy, same-length edit, a result longer than a chunk, null after blanking the
// caller's bytes, a zero length); FilterResponse turns "secret" into "XXXXXX" in place.
// It counts calls, the buffers not yet given back, the response bytes it saw and the
// response chunks that broke the contract (over 16,384 bytes, or no zero byte after).

#include <common/PluginContract.h>
#include <platform/Modules.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {
enum Mode { Copy = 0, Mark = 1, Long = 2, Null = 3, ZeroLength = 4 };

std::atomic<int> g_mode{Copy};
std::atomic<int> g_requests{0};
std::atomic<int> g_responses{0};
std::atomic<int> g_outstanding{0};
std::atomic<int> g_responseBytes{0};
std::atomic<int> g_badResponseChunks{0};
std::atomic<unsigned> g_longLength{20000};
std::mutex g_mutex; // guards g_localAddress
std::string g_localAddress;

char* handOut(const std::string& bytes)
{
    char* out = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(out, bytes.data(), bytes.size());
    out[bytes.size()] = '\0';
    ++g_outstanding;
    return out;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The request with an X-Pad header that makes it exactly length bytes long.
std::string padded(const std::string& request, std::size_t length)
{
    std::size_t end = request.find("\r\n\r\n");
    std::size_t cut = end == std::string::npos ? request.size() : end + 2;
    std::string before = request.substr(0, cut);
    std::string after = request.substr(cut);
    std::size_t fixed = before.size() + after.size() + std::strlen("X-Pad: \r\n");
    std::size_t pad = length > fixed ? length - fixed : 0;
    return before + "X-Pad: " + std::string(pad, 'a') + "\r\n" + after;
}
} // namespace

UMBRAVIA_EXPORT char* FilterRequest(char* request, int length, unsigned int* outLength,
                                    const char* localAddress) noexcept
{
    ++g_requests;
    {
        std::lock_guard lock(g_mutex);
        g_localAddress = localAddress != nullptr ? localAddress : "(null)";
    }
    std::string text(request, static_cast<std::size_t>(length));
    switch (g_mode.load()) {
    case Mark:
        replaceAll(text, "X-Filter-Me", "X-Filtered!");
        break;
    case Long:
        text = padded(text, g_longLength.load());
        break;
    case Null:
        std::memset(request, ' ', static_cast<std::size_t>(length));
        return nullptr;
    case ZeroLength:
        *outLength = 0;
        return handOut(text);
    default:
        break;
    }
    *outLength = static_cast<unsigned int>(text.size());
    return handOut(text);
}

UMBRAVIA_EXPORT void FilterResponse(char* response, int length) noexcept
{
    ++g_responses;
    g_responseBytes += length;
    if (length > 16384 || response[length] != '\0') {
        ++g_badResponseChunks;
    }
    std::string text(response, static_cast<std::size_t>(length));
    replaceAll(text, "secret", "XXXXXX");
    std::memcpy(response, text.data(), static_cast<std::size_t>(length));
}

UMBRAVIA_EXPORT void FreeFilteredDataBuf(char* buffer) noexcept
{
    if (buffer != nullptr) {
        --g_outstanding;
        std::free(buffer);
    }
}

// Test controls.
UMBRAVIA_EXPORT void TestFiltersSetMode(int mode, unsigned longLength) noexcept
{
    g_mode = mode;
    g_longLength = longLength;
}

UMBRAVIA_EXPORT int TestFiltersCount(int which) noexcept
{
    switch (which) {
    case 0:
        return g_requests.load();
    case 1:
        return g_responses.load();
    case 3:
        return g_responseBytes.load();
    case 4:
        return g_badResponseChunks.load();
    default:
        return g_outstanding.load();
    }
}

UMBRAVIA_EXPORT int TestFiltersLocalAddress(char* out, int size) noexcept
{
    std::lock_guard lock(g_mutex);
    std::strncpy(out, g_localAddress.c_str(), static_cast<std::size_t>(size) - 1);
    out[size - 1] = '\0';
    return static_cast<int>(g_localAddress.size());
}
