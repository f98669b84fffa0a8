#pragma once
// The module's settings kept between calls. Reading them costs a dozen registry reads
// and three list enumerations; the snapshot is rebuilt only when the registry's change
// stamp moved, so a call normally costs one counter check. Every write, in any process,
// moves the stamp before it returns, so the next call still sees it. Broken settings are
// never kept: every call then reads again and fails again.

#include "FilterSettings.h"

#include <memory>

namespace filters {

// Each connection thread holds its own reference to a side's snapshot with the stamp it
// was taken at, so a call while the stamp stands still takes no lock and leaves the
// snapshot's shared count alone (the threads would otherwise pass both between the
// processors at every chunk). What a call returns is valid until the thread's next call
// of the same function.
class SettingsCache {
public:
    using Snapshot = std::shared_ptr<const FilterSettings>;

    // The request side's settings (Req with its lists, Res, the level), presets applied,
    // with the banner table when banners are to be replaced; null when broken. Res is
    // read whole: its page options decide whether pages are asked for uncompressed.
    static const FilterSettings* forRequest();
    // The response side's settings (Res, the level), presets applied; null when broken.
    static const FilterSettings* forResponse();
};

} // namespace filters
