#include "SettingsCache.h"

#include "SettingsReader.h"

#include <platform/Registry.h>

#include <mutex>
#include <optional>
#include <utility>

namespace filters {

namespace {

// One side's snapshot and the stamp it was read at; the lock guards both.
struct Slot {
    std::mutex lock;
    std::optional<platform::registry::ChangeStamp> stamp;
    SettingsCache::Snapshot settings;
};

Slot g_request;
Slot g_response;

template <typename Read> SettingsCache::Snapshot cached(Slot& slot, Read read)
{
    // Taken before the reads: a change committed while they run leaves a stamp behind
    // the registry, so the next call reads again rather than keeping a stale snapshot.
    const std::optional<platform::registry::ChangeStamp> stamp = platform::registry::changeStamp();
    if (stamp) {
        std::lock_guard guard(slot.lock);
        if (slot.settings && slot.stamp == stamp) {
            return slot.settings;
        }
    }
    std::optional<FilterSettings> fresh = read();
    if (!fresh) {
        return nullptr;
    }
    auto snapshot = std::make_shared<const FilterSettings>(std::move(*fresh));
    if (stamp) {
        std::lock_guard guard(slot.lock);
        slot.stamp = stamp;
        slot.settings = snapshot;
    }
    return snapshot;
}

} // namespace

SettingsCache::Snapshot SettingsCache::forRequest()
{
    return cached(g_request, [] {
        std::optional<FilterSettings> settings = SettingsReader::forRequest();
        if (settings) {
            settings->applyPrivacyLevel();
            if (settings->responseOn && settings->blockBanners) {
                SettingsReader::readBanners(*settings);
            }
        }
        return settings;
    });
}

SettingsCache::Snapshot SettingsCache::forResponse()
{
    return cached(g_response, [] {
        std::optional<FilterSettings> settings = SettingsReader::forResponse();
        if (settings) {
            settings->applyPrivacyLevel();
        }
        return settings;
    });
}

} // namespace filters
