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

namespace {

// The thread's reference to one side's snapshot; null when broken (never kept).
const FilterSettings* onThisThread(settings::ThreadCopy<SettingsCache::Snapshot>& copy,
                                   SettingsCache::Snapshot (*shared)())
{
    const SettingsCache::Snapshot* snapshot =
        copy.get([shared]() -> std::optional<SettingsCache::Snapshot> {
            SettingsCache::Snapshot fresh = shared();
            return fresh ? std::optional(std::move(fresh)) : std::nullopt;
        });
    return snapshot != nullptr ? snapshot->get() : nullptr;
}

} // namespace

const FilterSettings* SettingsCache::forRequestOnThisThread()
{
    thread_local settings::ThreadCopy<Snapshot> copy;
    return onThisThread(copy, forRequest);
}

const FilterSettings* SettingsCache::forResponseOnThisThread()
{
    thread_local settings::ThreadCopy<Snapshot> copy;
    return onThisThread(copy, forResponse);
}

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
