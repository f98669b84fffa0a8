#pragma once
// Counts the filters' notifications in tests that run the rules directly.

#include "FilterEvents.h"

#include <atomic>

namespace filters::testing {

class EventCounter final : public FilterEvents {
public:
    void requestFiltered() override { ++requests; }
    void responseFiltered() override { ++responses; }
    std::atomic<int> requests{0};
    std::atomic<int> responses{0};
};

} // namespace filters::testing
