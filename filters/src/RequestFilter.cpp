#include "RequestFilter.h"

#include "ResponseFilter.h"
#include "TextTools.h"

#include <platform/WinInet.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace filters {

namespace {

constexpr std::string_view UserAgentKeyword = "user-agent";
// Chromium's client hints name the browser, its version and the system: "Sec-CH-UA",
// "Sec-CH-UA-Platform", "Sec-CH-UA-Mobile", "Sec-CH-UA-Full-Version-List", ...
constexpr std::string_view ClientHintsName = "sec-ch-ua";
constexpr std::string_view EncodingName = "accept-encoding";
constexpr std::string_view CookieKeyword = "cookie";
constexpr std::string_view ReferrerKeywords[] = {"referrer", "referer"};
constexpr std::string_view CacheKeyword = "if-modified-since";
constexpr std::string_view SchemeSeparator = "://";
constexpr std::string_view ImageReplacement = "unk";
constexpr std::array<std::string_view, 9> ImageExtensions = {"gif", "jpg", "jpeg", "bmp", "pcx",
                                                             "dib", "tif", "tiff", "jpe"};

// The first line of text, without its line feed; the whole text when it has none.
std::string_view firstLine(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The name of the header line at start, as written (before a colon, blanks allowed
// between them); empty when the line is no header line.
std::string_view headerName(std::string_view text, std::size_t start, std::size_t lineFeed)
{
    std::size_t end = start;
    while (end < lineFeed && text[end] != ':' && !isBlank(text[end]) && text[end] != '\r') {
        ++end;
    }
    std::size_t colon = end;
    while (colon < lineFeed && isBlank(text[colon])) {
        ++colon;
    }
    if (colon == lineFeed || text[colon] != ':') {
        return {};
    }
    return text.substr(start, end - start);
}

// Whether name is lowered in any case, or with family also lowered, "-" and more.
bool nameMatches(std::string_view name, std::string_view lowered, bool family)
{
    if (name.size() < lowered.size() || !equalsLowered(name.substr(0, lowered.size()), lowered)) {
        return false;
    }
    return name.size() == lowered.size() || (family && name[lowered.size()] == '-');
}

// Where the header whose first line ends at lineFeed ends: after its continuation lines
// (folded values start with a blank); npos when the last of them has no line feed yet.
std::size_t headerEnd(std::string_view text, std::size_t lineFeed)
{
    std::size_t end = lineFeed + 1;
    while (end < text.size() && isBlank(text[end])) {
        const std::size_t next = text.find('\n', end);
        if (next == npos) {
            return npos;
        }
        end = next + 1;
    }
    return end;
}

// FAKEIP as text, without allocating: at most "255.255.255.255".
struct AddressText {
    char text[16];
    std::size_t size = 0;
    explicit AddressText(DWORD address)
    {
        char* out = text;
        for (int shift = 24; shift >= 0; shift -= 8) {
            out = std::to_chars(out, text + sizeof text, (address >> shift) & 0xFF).ptr;
            if (shift > 0) {
                *out++ = '.';
            }
        }
        size = static_cast<std::size_t>(out - text);
    }
    std::string_view view() const { return {text, size}; }
};

// Replaces every occurrence of from (exact case, left to right, non-overlapping) by to
// within text's own storage; returns how many were replaced. An empty from replaces
// nothing. Neither from nor to may point into text.
std::size_t replaceInPlace(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return 0;
    }
    thread_local std::vector<std::size_t> hits;
    hits.clear();
    for (std::size_t pos = findExact(text, from); pos != npos;
         pos = findExact(text, from, pos + from.size())) {
        hits.push_back(pos);
    }
    if (hits.empty()) {
        return 0;
    }
    const std::size_t oldSize = text.size();
    if (to.size() <= from.size()) { // shrinks: left to right
        std::size_t out = hits.front();
        for (std::size_t k = 0; k < hits.size(); ++k) {
            std::memcpy(text.data() + out, to.data(), to.size());
            out += to.size();
            const std::size_t rest = hits[k] + from.size();
            const std::size_t restEnd = k + 1 < hits.size() ? hits[k + 1] : oldSize;
            std::memmove(text.data() + out, text.data() + rest, restEnd - rest);
            out += restEnd - rest;
        }
        text.resize(out);
    } else { // grows: right to left, after making room
        text.resize(oldSize + (to.size() - from.size()) * hits.size());
        std::size_t out = text.size();
        std::size_t end = oldSize;
        for (std::size_t k = hits.size(); k-- > 0;) {
            const std::size_t rest = hits[k] + from.size();
            out -= end - rest;
            std::memmove(text.data() + out, text.data() + rest, end - rest);
            out -= to.size();
            std::memcpy(text.data() + out, to.data(), to.size());
            end = hits[k];
        }
    }
    return hits.size();
}

} // namespace

// The request rules in the order they run: {switch, rule}.
const RequestFilter::Step RequestFilter::s_requestSteps[] = {
    {[](const FilterSettings& s) { return s.browserShield || s.osShield; },
     &RequestFilter::hideAgent},
    {[](const FilterSettings& s) { return s.browserShield || s.osShield; },
     &RequestFilter::hideClientHints},
    {[](const FilterSettings& s) { return s.disableAllCookies; }, &RequestFilter::dropAllCookies},
    {[](const FilterSettings& s) { return s.disableUnsafeCookies; },
     &RequestFilter::dropUnsafeCookies},
    {[](const FilterSettings& s) { return s.ipMasking; }, &RequestFilter::maskAddress},
    {[](const FilterSettings& s) { return s.referrerBlock; }, &RequestFilter::blockReferrer},
    {[](const FilterSettings& s) { return s.disableInternetCache; }, &RequestFilter::disableCache},
    {[](const FilterSettings& s) { return s.customFiltersOn && !s.customFilters.empty(); },
     &RequestFilter::applyCustomFilters},
    {[](const FilterSettings& s) { return s.stopListOn && !s.stopServers.empty(); },
     &RequestFilter::checkStopList},
};

// The response-side rules that act on requests.
const RequestFilter::Step RequestFilter::s_responseSteps[] = {
    {[](const FilterSettings& s) { return s.blockImages; }, &RequestFilter::renameImageRequest},
    {[](const FilterSettings& s) { return s.blockBanners; }, &RequestFilter::replaceBanners},
    // A compressed page passes the page rules unread: while any of them is on, pages are
    // asked for as plain text.
    {&ResponseFilter::rewritesPages, &RequestFilter::askForPlainPages},
};

RequestFilter::RequestFilter(const FilterSettings& settings, FilterEvents& events,
                             std::string_view localAddress)
    : m_settings(settings), m_events(events), m_localAddress(localAddress)
{}

RequestFilter::Outcome RequestFilter::run(std::string& text)
{
    m_text = &text;
    if (m_settings.requestOn) {
        for (const Step& step : s_requestSteps) {
            if (step.enabled(m_settings) && !(this->*step.apply)()) {
                return Outcome::Blocked;
            }
        }
    }
    if (m_settings.responseOn) {
        for (const Step& step : s_responseSteps) {
            if (step.enabled(m_settings)) {
                (this->*step.apply)();
            }
        }
    }
    return Outcome::Passed;
}

std::size_t RequestFilter::RemoveHeaderLines(std::string& text, std::string_view keyword)
{
    if (keyword.empty()) {
        return 0;
    }
    std::size_t removed = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t match = findLowered(text, keyword, from);
        if (match == npos) {
            break;
        }
        const std::size_t lineFeed = text.find('\n', match);
        if (lineFeed == npos) {
            break;
        }
        text.erase(match, lineFeed + 1 - match);
        ++removed;
        // The join may form a new match that starts just before it; nothing earlier can.
        from = match >= keyword.size() - 1 ? match - (keyword.size() - 1) : 0;
    }
    return removed;
}

std::size_t RequestFilter::RemoveHeaders(std::string& text, std::string_view lowered, bool family)
{
    if (findLowered(text, lowered) == npos) {
        return 0; // the usual case, found out by one quick search
    }
    char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t in = 0;  // the next line to look at
    std::size_t out = 0; // where the next kept byte goes
    std::size_t removed = 0;
    for (;;) {
        const std::size_t lineFeed = text.find('\n', in);
        if (lineFeed == npos || lineFeed == in || (lineFeed == in + 1 && data[in] == '\r')) {
            break; // a line cut off by the chunk's end, or the end of the head
        }
        if (lowerChar(data[in]) == lowered[0] &&
            nameMatches(headerName(text, in, lineFeed), lowered, family)) {
            const std::size_t end = headerEnd(text, lineFeed);
            if (end == npos) {
                break; // its value goes on in the next chunk: the header stays
            }
            ++removed;
            in = end;
            continue;
        }
        if (out != in) {
            std::memmove(data + out, data + in, lineFeed + 1 - in);
        }
        out += lineFeed + 1 - in;
        in = lineFeed + 1;
    }
    if (out != in) {
        std::memmove(data + out, data + in, size - in);
        text.resize(out + size - in);
    }
    return removed;
}

std::string RequestFilter::fakeAddressText(DWORD fakeIp)
{
    return std::string(AddressText(fakeIp).view());
}

void RequestFilter::removeLines(std::string_view keyword, bool notify)
{
    const std::size_t removed = RemoveHeaderLines(*m_text, keyword);
    for (std::size_t i = 0; notify && i < removed; ++i) {
        m_events.requestFiltered();
    }
}

bool RequestFilter::hideAgent()
{
    removeLines(UserAgentKeyword, true);
    return true;
}

bool RequestFilter::hideClientHints()
{
    const std::size_t removed = RemoveHeaders(*m_text, ClientHintsName, true);
    for (std::size_t i = 0; i < removed; ++i) {
        m_events.requestFiltered();
    }
    return true;
}

bool RequestFilter::dropAllCookies()
{
    removeLines(CookieKeyword, true);
    return true;
}

bool RequestFilter::dropUnsafeCookies()
{
    if (cookiesUnsafe()) {
        removeLines(CookieKeyword, true);
    }
    return true;
}

// Cookies are unsafe for a site that is not trusted, and for a trusted one whose stored
// cookies carry this machine's address.
bool RequestFilter::cookiesUnsafe()
{
    const std::string_view text = *m_text;
    const std::size_t separator = findExact(text, SchemeSeparator);
    if (separator == npos) {
        return false;
    }
    std::size_t start = separator == 0 ? npos : text.rfind(' ', separator - 1);
    start = start == npos ? 0 : start + 1;
    const std::size_t end = text.find(' ', start);
    if (end == npos) {
        return false;
    }
    const std::string_view url = ::text::trim(text.substr(start, end - start), " \t\r\n\v\f");
    const auto& trusted = m_settings.trustedSites;
    if (std::none_of(trusted.begin(), trusted.end(),
                     [&](const std::string& site) { return url.find(site) != npos; })) {
        return true;
    }
    // The cookie store wants zero-terminated texts; the thread's buffers are reused.
    thread_local std::string urlText;
    thread_local std::string cookie;
    thread_local std::string address;
    urlText.assign(url);
    DWORD size = 0;
    if (!InternetGetCookieA(urlText.c_str(), nullptr, nullptr, &size) || size == 0) {
        return false;
    }
    cookie.assign(size + 1, '\0');
    DWORD capacity = size + 1;
    if (!InternetGetCookieA(urlText.c_str(), nullptr, cookie.data(), &capacity)) {
        return false;
    }
    lowerInto(m_localAddress, address);
    return findLowered(std::string_view(cookie.c_str()), address) != npos;
}

bool RequestFilter::maskAddress()
{
    const AddressText fake(m_settings.fakeIp);
    if (replaceInPlace(*m_text, m_localAddress, fake.view()) > 0) {
        m_events.requestFiltered();
    }
    return true;
}

bool RequestFilter::blockReferrer()
{
    for (std::string_view keyword : ReferrerKeywords) {
        removeLines(keyword, true);
    }
    return true;
}

bool RequestFilter::disableCache()
{
    removeLines(CacheKeyword, false); // fetching pages fresh is not worth a notification
    return true;
}

bool RequestFilter::applyCustomFilters()
{
    for (const std::string& entry : m_settings.customFilters) {
        applyCustomFilter(entry);
    }
    return true;
}

// "Name: value": the value replaces what follows the colon of the first line naming the
// header, up to its line feed; an absent header is never added.
void RequestFilter::applyCustomFilter(const std::string& entry)
{
    const std::size_t split = entry.find(':');
    if (split == npos || split == 0) {
        return; // no header name: nothing to look for
    }
    const std::string_view name(entry.data(), split);
    const std::string_view value = std::string_view(entry).substr(split + 1);
    std::string& text = *m_text;
    const std::size_t at = findExact(text, name);
    if (at == npos) {
        return;
    }
    const std::size_t colon = text.find(':', at);
    if (colon == npos) {
        return;
    }
    const std::size_t lineFeed = text.find('\n', colon + 1);
    if (lineFeed == npos) {
        return;
    }
    text.replace(colon + 1, lineFeed - colon - 1, value);
}

bool RequestFilter::checkStopList()
{
    const std::string_view line = firstLine(*m_text);
    thread_local std::string server;
    for (const std::string& entry : m_settings.stopServers) {
        lowerInto(entry, server);
        if (findLowered(line, server) != npos) {
            return false;
        }
    }
    return true;
}

// An image request keeps its way to the server but asks for a file type that no
// browser shows: the extension becomes "unk" wherever it is written that way.
bool RequestFilter::renameImageRequest()
{
    std::string& text = *m_text;
    const std::size_t lineFeed = text.find('\n');
    if (lineFeed == npos) {
        return true;
    }
    std::string_view url = std::string_view(text).substr(0, lineFeed);
    const std::size_t separator = findExact(url, SchemeSeparator);
    if (separator == npos) {
        return true;
    }
    url.remove_prefix(separator);
    url = url.substr(0, url.rfind(' ')); // the protocol version
    url = url.substr(0, url.rfind('?')); // the query
    if (url.empty() || url.back() == '/') {
        return true;
    }
    const std::size_t dot = url.rfind('.');
    if (dot == npos) {
        return true;
    }
    const std::string_view extension = url.substr(dot + 1);
    if (std::none_of(ImageExtensions.begin(), ImageExtensions.end(),
                     [&](std::string_view image) { return equalsLowered(extension, image); })) {
        return true;
    }
    // The extension is replaced throughout the text it points into: copy it out first
    // (it is one of the image extensions, so at most four letters).
    char written[4];
    std::copy(extension.begin(), extension.end(), written);
    if (replaceInPlace(text, std::string_view(written, extension.size()), ImageReplacement) > 0) {
        m_events.responseFiltered();
    }
    return true;
}

bool RequestFilter::replaceBanners()
{
    for (const auto& [server, replacement] : m_settings.banners) {
        if (!replacement.empty() && replaceInPlace(*m_text, server, replacement) > 0) {
            m_events.responseFiltered();
        }
    }
    return true;
}

// The page is asked for without Accept-Encoding, which servers answer uncompressed. Not
// a privacy matter, so nothing is notified.
bool RequestFilter::askForPlainPages()
{
    RemoveHeaders(*m_text, EncodingName, false);
    return true;
}

} // namespace filters
