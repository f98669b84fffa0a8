#pragma once
// The request side of the filters: one chunk's text rewritten by the rules of one
// settings snapshot. Header rules run when request filtering is on; the image, banner
// and compression rules when response filtering is on.
//
// The rule-by-rule request filter as it stood before the single-pass one: each rule
// searches the whole text again. Kept, unchanged in behaviour, as the oracle the
// differential tests and fuzzer hold RequestFilter to.

#include "FilterEvents.h"
#include "FilterSettings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace filters {

class ReferenceRequestFilter {
public:
    enum class Outcome { Passed, Blocked };

    ReferenceRequestFilter(const FilterSettings& settings, FilterEvents& events,
                           std::string_view localAddress);

    // Rewrites text (a chunk's text up to its first zero byte). Blocked: a stop-list
    // entry named the request's server; text is then left as it stood.
    Outcome run(std::string& text);

    // Removes, for each occurrence of keyword (lower case) found anywhere in the lowered
    // text, the span from the match through the next line feed; a match without a line
    // feed after it stays. Returns the number of spans removed.
    static std::size_t RemoveHeaderLines(std::string& text, std::string_view keyword);
    // FAKEIP as four decimal numbers joined by dots, first octet from bits 31..24.
    static std::string fakeAddressText(DWORD fakeIp);
    // Removes the header lines of the request head (the lines before the first empty
    // line) whose lowered name named() accepts, each with its continuation lines; a
    // header cut off by the text's end stays, and so does all after it. Returns the
    // number of headers removed.
    static std::size_t RemoveHeaders(std::string& text, bool (*named)(const std::string& name));

private:
    struct Step {
        bool (*enabled)(const FilterSettings&);
        bool (ReferenceRequestFilter::*apply)(); // false: the request is blocked
    };
    static const Step s_requestSteps[];
    static const Step s_responseSteps[];

    void removeLines(std::string_view keyword, bool notify);
    bool hideAgent();
    bool hideClientHints();
    bool dropAllCookies();
    bool dropUnsafeCookies();
    bool maskAddress();
    bool blockReferrer();
    bool disableCache();
    bool applyCustomFilters();
    bool checkStopList();
    bool renameImageRequest();
    bool replaceBanners();
    bool askForPlainPages();

    bool cookiesUnsafe();
    void applyCustomFilter(const std::string& entry);

    const FilterSettings& m_settings;
    FilterEvents& m_events;
    std::string_view m_localAddress;
    std::string* m_text = nullptr;
};

} // namespace filters
