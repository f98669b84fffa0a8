#include "SettingsCache.h"

#include "SettingsReader.h"

#include <common/StampedCache.h>

#include <optional>
#include <utility>

namespace filters {

namespace {

using Kept = std::optional<SettingsCache::Snapshot>; // empty when broken

settings::StampedCache<SettingsCache::Snapshot> g_request;
settings::StampedCache<SettingsCache::Snapshot> g_response;

// One side's snapshot: kept while the registry stands still, never when broken.
template <typename Read>
Kept cached(settings::StampedCache<SettingsCache::Snapshot>& cache, Read read)
{
    return cache.get([&]() -> Kept {
        std::optional<FilterSettings> fresh = read();
        if (!fresh) {
            return std::nullopt;
        }
        return std::make_shared<const FilterSettings>(std::move(*fresh));
    });
}

Kept request()
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

Kept response()
{
    return cached(g_response, [] {
        std::optional<FilterSettings> settings = SettingsReader::forResponse();
        if (settings) {
            settings->applyPrivacyLevel();
        }
        return settings;
    });
}

// The thread's reference to one side's snapshot; null when broken.
const FilterSettings* onThisThread(settings::ThreadCopy<SettingsCache::Snapshot>& copy,
                                   Kept (*shared)())
{
    const SettingsCache::Snapshot* snapshot = copy.get(shared);
    return snapshot != nullptr ? snapshot->get() : nullptr;
}

} // namespace

const FilterSettings* SettingsCache::forRequest()
{
    thread_local settings::ThreadCopy<Snapshot> copy;
    return onThisThread(copy, request);
}

const FilterSettings* SettingsCache::forResponse()
{
    thread_local settings::ThreadCopy<Snapshot> copy;
    return onThisThread(copy, response);
}

} // namespace filters
