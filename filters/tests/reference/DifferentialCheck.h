#pragma once
// Runs the filters and their rule-by-rule references on the same text and settings and
// tells the first difference: in the bytes, the length, the block decision or the
// notifications (their kinds and order). Shared by the differential tests and fuzzer.

#include "FilterSettings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace filters {

class DifferentialCheck {
public:
    // The request and response switches, one bit each, in a fixed order.
    static constexpr unsigned RequestSwitches = 13;
    static constexpr unsigned ResponseSwitches = 9;
    // The bit of HIDEPAGETITLE: a page option, which the request side's compression rule
    // follows.
    static constexpr unsigned PageOptionBit = RequestSwitches + 3;
    // The levels worth trying: custom, the four presets, and two that are no preset.
    static constexpr DWORD Levels[] = {0xFFFFFFFF, 1, 2, 3, 4, 0, 5};

    // Settings with the request switches from bits 0..12 and the response switches from
    // bits 13..21, the level's presets applied, every list filled.
    static FilterSettings settings(std::uint32_t switches, DWORD level, DWORD fakeIp);

    // Empty when both request filters agree on text; otherwise what differs.
    static std::string request(const FilterSettings& settings, std::string_view text,
                               std::string_view localAddress);
    // Empty when both response filters agree on text with the generator seeded alike;
    // otherwise what differs.
    static std::string response(const FilterSettings& settings, std::string_view text,
                                unsigned seed);
};

} // namespace filters
