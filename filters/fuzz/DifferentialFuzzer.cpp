// Holds the single-pass filters to the rule-by-rule references on arbitrary chunks. The
// first four bytes choose the settings: the request and response switches (22 bits),
// the privacy level, the local address, FAKEIP and the generator's seed; the rest is
// the chunk. Both request filters and both response filters run on it, and any
// difference in bytes, length, block decision or notifications is a crash.

#include "DifferentialCheck.h"
#include "FuzzPrefix.h"

#include <common/PluginContract.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Addresses whose letters and digits meet the header keywords and the fake address.
const char* const LocalAddresses[] = {"10.0.0.1",        "",  "ookie",     "1",
                                      "www.example.com", "a", "10.0.0.15", "user-agent"};
const DWORD FakeAddresses[] = {0xC0A80001, 0, 0x0A000001, 0xFFFFFFFF};

void check(const std::string& difference, const char* side)
{
    if (!difference.empty()) {
        std::fprintf(stderr, "%s filters differ: %s\n", side, difference.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    filters::fuzz::preparePrefix();
    constexpr std::size_t Head = 4;
    if (size < Head || size - Head > static_cast<std::size_t>(contract::ChunkSize)) {
        return 0;
    }
    std::uint32_t head = 0;
    std::memcpy(&head, data, Head);
    constexpr unsigned Switches =
        filters::DifferentialCheck::RequestSwitches + filters::DifferentialCheck::ResponseSwitches;
    const std::uint32_t switches = head & ((1u << Switches) - 1);
    const unsigned levelIndex = (head >> 22) & 7;
    const DWORD level = levelIndex < std::size(filters::DifferentialCheck::Levels)
                            ? filters::DifferentialCheck::Levels[levelIndex]
                            : 0xFFFFFFFF;
    const char* local = LocalAddresses[(head >> 25) & 7];
    const DWORD fakeIp = FakeAddresses[(head >> 28) & 3];
    const unsigned seed = (head >> 30) + 1;

    // The exports hand the filters the text up to the first zero byte.
    const char* text = reinterpret_cast<const char*>(data + Head);
    const std::string chunk(text, strnlen(text, size - Head));
    const filters::FilterSettings settings =
        filters::DifferentialCheck::settings(switches, level, fakeIp);
    check(filters::DifferentialCheck::request(settings, chunk, local), "request");
    check(filters::DifferentialCheck::response(settings, chunk, seed), "response");
    return 0;
}
