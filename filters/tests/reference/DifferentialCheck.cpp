#include "DifferentialCheck.h"

#include "FilterEvents.h"
#include "ReferenceRequestFilter.h"
#include "ReferenceResponseFilter.h"
#include "RequestFilter.h"
#include "ResponseFilter.h"

#include <cstdlib>

namespace filters {

namespace {

// The notifications in the order they came: 'Q' request filtered, 'S' response filtered.
class EventLog final : public FilterEvents {
public:
    void requestFiltered() override { events.push_back('Q'); }
    void responseFiltered() override { events.push_back('S'); }
    std::string events;
};

// Where two texts part, for the report.
std::string firstDifference(const std::string& expected, const std::string& actual)
{
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    return "lengths " + std::to_string(expected.size()) + " (reference) and " +
           std::to_string(actual.size()) + ", first difference at byte " + std::to_string(at);
}

} // namespace

FilterSettings DifferentialCheck::settings(std::uint32_t switches, DWORD level, DWORD fakeIp)
{
    FilterSettings s;
    // Response filtering is both sides' switch: bit 10 for the request side's image and
    // banner rules, bit 13 for the page rules; either turns it on, so each side's
    // combinations are complete on their own.
    bool* const flags[RequestSwitches + ResponseSwitches] = {
        &s.requestOn,         &s.browserShield,        &s.osShield,
        &s.disableAllCookies, &s.disableUnsafeCookies, &s.ipMasking,
        &s.referrerBlock,     &s.disableInternetCache, &s.customFiltersOn,
        &s.stopListOn,        &s.responseOn,           &s.blockImages,
        &s.blockBanners,      &s.responseOn,           &s.blockScripts,
        &s.disableOnUnload,   &s.hidePageTitle,        &s.blockPopups,
        &s.removeCtxMenuDis,  &s.removeFlash,          &s.removeStatusMods,
        &s.disableTimerProc,
    };
    for (unsigned bit = 0; bit < RequestSwitches + ResponseSwitches; ++bit) {
        if ((switches >> bit) & 1u) {
            *flags[bit] = true;
        }
    }
    s.fakeIp = fakeIp;
    s.privacyLevel = level;
    s.customFilters = {"Accept-Language: fr", "Host: example.org", "X: ", "Cookie: none",
                       "User-Agent:Mozilla/5.0 (X11)"};
    s.stopServers = {"blocked.example", "ADS.", "tracker"};
    s.trustedSites = {"example", "shop.example.net"};
    s.banners = {{"banner.example", "localhost"},
                 {"gif", "a much longer replacement text"},
                 {"ad.", ""},
                 {"cookie", "crumb"}};
    s.applyPrivacyLevel();
    return s;
}

std::string DifferentialCheck::request(const FilterSettings& settings, std::string_view text,
                                       std::string_view localAddress)
{
    EventLog referenceEvents;
    std::string expected(text);
    const bool referenceBlocked =
        ReferenceRequestFilter(settings, referenceEvents, localAddress).run(expected) ==
        ReferenceRequestFilter::Outcome::Blocked;
    EventLog events;
    std::string actual(text);
    const bool blocked = RequestFilter(settings, events, localAddress).run(actual) ==
                         RequestFilter::Outcome::Blocked;
    if (blocked != referenceBlocked) {
        return std::string("block decision: reference ") + (referenceBlocked ? "blocks" : "passes");
    }
    if (actual != expected) {
        return "request text: " + firstDifference(expected, actual);
    }
    if (events.events != referenceEvents.events) {
        return "request notifications: reference \"" + referenceEvents.events + "\", new \"" +
               events.events + "\"";
    }
    return {};
}

std::string DifferentialCheck::response(const FilterSettings& settings, std::string_view text,
                                        unsigned seed)
{
    EventLog referenceEvents;
    std::string expected(text);
    std::srand(seed);
    ReferenceResponseFilter(settings, referenceEvents).run(expected.data(), expected.size());
    EventLog events;
    std::string actual(text);
    std::srand(seed);
    ResponseFilter(settings, events).run(actual.data(), actual.size());
    if (actual != expected) {
        return "response text: " + firstDifference(expected, actual);
    }
    if (events.events != referenceEvents.events) {
        return "response notifications: reference \"" + referenceEvents.events + "\", new \"" +
               events.events + "\"";
    }
    return {};
}

} // namespace filters
