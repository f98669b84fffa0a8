#pragma once
// Reads the filter settings from the registry, afresh for every call, with read access
// only. Nothing is returned when the settings are broken (a key that cannot be opened,
// a list that cannot be read to its end, DISABLETIMERPROC or PRIVACYLEVEL unreadable);
// the caller then reports "Invalide registry data". Other missing values count as 0.

#include "FilterSettings.h"

#include <optional>

namespace filters {

class SettingsReader {
public:
    // Req with its three lists, Res and the level (presets not yet applied).
    static std::optional<FilterSettings> forRequest();
    // Res and the level (presets not yet applied).
    static std::optional<FilterSettings> forResponse();
    // The banner table; an unopenable key or a broken entry ends it without complaint.
    static void readBanners(FilterSettings& settings);

private:
    static bool readRequestKey(FilterSettings& settings);
    static bool readResponseKey(FilterSettings& settings);
    static bool readLevel(FilterSettings& settings);
};

} // namespace filters
