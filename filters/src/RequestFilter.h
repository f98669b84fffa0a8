#pragma once
// The request side of the filters: one chunk's text rewritten by the rules of one
// settings snapshot. Header rules run when request filtering is on; the image, banner
// and compression rules when response filtering is on. The rules search the text itself
// (no lowered copies) and edit it in place; nothing is allocated once the thread's
// buffers have grown to the size of its chunks.

#include "FilterEvents.h"
#include "FilterSettings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace filters {

class RequestFilter {
public:
    enum class Outcome { Passed, Blocked };

    RequestFilter(const FilterSettings& settings, FilterEvents& events,
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
    // line) named lowered in any case (with family, also lowered followed by "-" and
    // more), each with its continuation lines, in one pass. A header cut off by the
    // chunk's end stays, and so does all after it. Returns the number removed.
    static std::size_t RemoveHeaders(std::string& text, std::string_view lowered, bool family);

private:
    struct Step {
        bool (*enabled)(const FilterSettings&);
        bool (RequestFilter::*apply)(); // false: the request is blocked
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
