#include "SettingsCache.h"

#include "SettingsReader.h"

#include <common/StampedCache.h>

#include <optional>
#include <utility>

namespace filters {

namespace {

settings::StampedCache<SettingsCache::Snapshot> g_request;
settings::StampedCache<SettingsCache::Snapshot> g_response;

// One side's snapshot: kept while the registry stands still, null when broken.
template <typename Read>
SettingsCache::Snapshot cached(settings::StampedCache<SettingsCache::Snapshot>& cache, Read read)
{
    return cache
        .get([&]() -> std::optional<SettingsCache::Snapshot> {
            std::optional<FilterSettings> fresh = read();
            if (!fresh) {
                return std::nullopt;
            }
            return std::make_shared<const FilterSettings>(std::move(*fresh));
        })
        .value_or(nullptr);
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
