#include "ReferenceRequestFilter.h"

#include "TextTools.h"

#include <platform/WinInet.h>

#include <algorithm>
#include <array>

namespace filters {

namespace {

constexpr std::string_view UserAgentKeyword = "user-agent";
constexpr std::string_view CookieKeyword = "cookie";
constexpr std::string_view ReferrerKeywords[] = {"referrer", "referer"};
constexpr std::string_view CacheKeyword = "if-modified-since";
constexpr std::string_view SchemeSeparator = "://";
constexpr std::string_view ImageReplacement = "unk";
constexpr std::array<std::string_view, 9> ImageExtensions = {"gif", "jpg", "jpeg", "bmp", "pcx",
                                                             "dib", "tif", "tiff", "jpe"};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimSpace(std::string_view text)
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The lowered name of a header line, "Name: value" with blanks allowed before the colon;
// empty for any other line.
std::string headerName(const std::string& line)
{
    const std::size_t colon = line.find(':');
    if (colon == npos) {
        return {};
    }
    std::string name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.pop_back();
    }
    if (name.find_first_of(" \t\r") != npos) {
        return {};
    }
    return text::lower(name);
}

// Sec-CH-UA and every Sec-CH-UA-* header: Chromium's client hints about the browser and
// the system.
bool isClientHint(const std::string& name)
{
    return name == "sec-ch-ua" || name.rfind("sec-ch-ua-", 0) == 0;
}

bool isAcceptEncoding(const std::string& name)
{
    return name == "accept-encoding";
}

// The first line of text, without its line feed; the whole text when it has none.
std::string_view firstLine(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

// The request rules in the order they run: {switch, rule}.
const ReferenceRequestFilter::Step ReferenceRequestFilter::s_requestSteps[] = {
    {[](const FilterSettings& s) { return s.browserShield || s.osShield; },
     &ReferenceRequestFilter::hideAgent},
    {[](const FilterSettings& s) { return s.browserShield || s.osShield; },
     &ReferenceRequestFilter::hideClientHints},
    {[](const FilterSettings& s) { return s.disableAllCookies; },
     &ReferenceRequestFilter::dropAllCookies},
    {[](const FilterSettings& s) { return s.disableUnsafeCookies; },
     &ReferenceRequestFilter::dropUnsafeCookies},
    {[](const FilterSettings& s) { return s.ipMasking; }, &ReferenceRequestFilter::maskAddress},
    {[](const FilterSettings& s) { return s.referrerBlock; },
     &ReferenceRequestFilter::blockReferrer},
    {[](const FilterSettings& s) { return s.disableInternetCache; },
     &ReferenceRequestFilter::disableCache},
    {[](const FilterSettings& s) { return s.customFiltersOn && !s.customFilters.empty(); },
     &ReferenceRequestFilter::applyCustomFilters},
    {[](const FilterSettings& s) { return s.stopListOn && !s.stopServers.empty(); },
     &ReferenceRequestFilter::checkStopList},
};

// The response-side rules that act on requests.
const ReferenceRequestFilter::Step ReferenceRequestFilter::s_responseSteps[] = {
    {[](const FilterSettings& s) { return s.blockImages; },
     &ReferenceRequestFilter::renameImageRequest},
    {[](const FilterSettings& s) { return s.blockBanners; },
     &ReferenceRequestFilter::replaceBanners},
    // While a page option is on, pages are asked for uncompressed, so that they can be read.
    {[](const FilterSettings& s) {
         return s.blockScripts || s.disableOnUnload || s.hidePageTitle || s.blockPopups ||
                s.removeCtxMenuDis || s.removeFlash || s.removeStatusMods || s.disableTimerProc;
     },
     &ReferenceRequestFilter::askForPlainPages},
};

ReferenceRequestFilter::ReferenceRequestFilter(const FilterSettings& settings, FilterEvents& events,
                                               std::string_view localAddress)
    : m_settings(settings), m_events(events), m_localAddress(localAddress)
{}

ReferenceRequestFilter::Outcome ReferenceRequestFilter::run(std::string& text)
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

std::size_t ReferenceRequestFilter::RemoveHeaderLines(std::string& text, std::string_view keyword)
{
    if (keyword.empty()) {
        return 0;
    }
    std::string lowered = text::lower(text);
    std::size_t removed = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t match = findExact(lowered, keyword, from);
        if (match == npos) {
            break;
        }
        const std::size_t lineFeed = lowered.find('\n', match);
        if (lineFeed == npos) {
            break;
        }
        text.erase(match, lineFeed + 1 - match);
        lowered.erase(match, lineFeed + 1 - match);
        ++removed;
        // The join may form a new match that starts just before it; nothing earlier can.
        from = match >= keyword.size() - 1 ? match - (keyword.size() - 1) : 0;
    }
    return removed;
}

std::size_t ReferenceRequestFilter::RemoveHeaders(std::string& text,
                                                  bool (*named)(const std::string& name))
{
    std::size_t removed = 0;
    std::size_t line = 0;
    for (;;) {
        const std::size_t lineFeed = text.find('\n', line);
        if (lineFeed == npos) {
            break; // cut off by the text's end
        }
        const std::string current = text.substr(line, lineFeed - line);
        if (current.empty() || current == "\r") {
            break; // the end of the head
        }
        const std::string name = headerName(current);
        if (name.empty() || !named(name)) {
            line = lineFeed + 1;
            continue;
        }
        // Continuation lines start with a blank or a tab.
        std::size_t end = lineFeed + 1;
        while (end < text.size() && (text[end] == ' ' || text[end] == '\t') &&
               text.find('\n', end) != npos) {
            end = text.find('\n', end) + 1;
        }
        if (end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
            break; // the last continuation line is cut off by the text's end
        }
        text.erase(line, end - line);
        ++removed;
    }
    return removed;
}

std::string ReferenceRequestFilter::fakeAddressText(DWORD fakeIp)
{
    return std::to_string((fakeIp >> 24) & 0xFF) + "." + std::to_string((fakeIp >> 16) & 0xFF) +
           "." + std::to_string((fakeIp >> 8) & 0xFF) + "." + std::to_string(fakeIp & 0xFF);
}

void ReferenceRequestFilter::removeLines(std::string_view keyword, bool notify)
{
    const std::size_t removed = RemoveHeaderLines(*m_text, keyword);
    for (std::size_t i = 0; notify && i < removed; ++i) {
        m_events.requestFiltered();
    }
}

bool ReferenceRequestFilter::hideAgent()
{
    removeLines(UserAgentKeyword, true);
    return true;
}

bool ReferenceRequestFilter::hideClientHints()
{
    const std::size_t removed = RemoveHeaders(*m_text, isClientHint);
    for (std::size_t i = 0; i < removed; ++i) {
        m_events.requestFiltered();
    }
    return true;
}

bool ReferenceRequestFilter::dropAllCookies()
{
    removeLines(CookieKeyword, true);
    return true;
}

bool ReferenceRequestFilter::dropUnsafeCookies()
{
    if (cookiesUnsafe()) {
        removeLines(CookieKeyword, true);
    }
    return true;
}

// Cookies are unsafe for a site that is not trusted, and for a trusted one whose stored
// cookies carry this machine's address.
bool ReferenceRequestFilter::cookiesUnsafe()
{
    const std::string& text = *m_text;
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
    const std::string url(trimSpace(std::string_view(text).substr(start, end - start)));
    const auto& trusted = m_settings.trustedSites;
    if (std::none_of(trusted.begin(), trusted.end(),
                     [&](const std::string& site) { return url.find(site) != npos; })) {
        return true;
    }
    DWORD size = 0;
    if (!InternetGetCookieA(url.c_str(), nullptr, nullptr, &size) || size == 0) {
        return false;
    }
    std::string cookie(size + 1, '\0');
    DWORD capacity = size + 1;
    if (!InternetGetCookieA(url.c_str(), nullptr, cookie.data(), &capacity)) {
        return false;
    }
    return text::findNoCase(cookie.c_str(), m_localAddress) != npos;
}

bool ReferenceRequestFilter::maskAddress()
{
    const std::string fake = fakeAddressText(m_settings.fakeIp);
    if (replaceAll(*m_text, m_localAddress, fake) > 0) {
        m_events.requestFiltered();
    }
    return true;
}

bool ReferenceRequestFilter::blockReferrer()
{
    for (std::string_view keyword : ReferrerKeywords) {
        removeLines(keyword, true);
    }
    return true;
}

bool ReferenceRequestFilter::disableCache()
{
    removeLines(CacheKeyword, false); // fetching pages fresh is not worth a notification
    return true;
}

bool ReferenceRequestFilter::applyCustomFilters()
{
    for (const std::string& entry : m_settings.customFilters) {
        applyCustomFilter(entry);
    }
    return true;
}

// "Name: value": the value replaces what follows the colon of the first line naming the
// header, up to its line feed; an absent header is never added.
void ReferenceRequestFilter::applyCustomFilter(const std::string& entry)
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

bool ReferenceRequestFilter::checkStopList()
{
    const std::string line = text::lower(firstLine(*m_text));
    for (const std::string& server : m_settings.stopServers) {
        if (findExact(line, text::lower(server)) != npos) {
            return false;
        }
    }
    return true;
}

// An image request keeps its way to the server but asks for a file type that no
// browser shows: the extension becomes "unk" wherever it is written that way.
bool ReferenceRequestFilter::renameImageRequest()
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
    const std::string extension(url.substr(dot + 1));
    const std::string lowered = text::lower(extension);
    if (std::find(ImageExtensions.begin(), ImageExtensions.end(), lowered) ==
        ImageExtensions.end()) {
        return true;
    }
    if (replaceAll(text, extension, ImageReplacement) > 0) {
        m_events.responseFiltered();
    }
    return true;
}

bool ReferenceRequestFilter::replaceBanners()
{
    for (const auto& [server, replacement] : m_settings.banners) {
        if (!replacement.empty() && replaceAll(*m_text, server, replacement) > 0) {
            m_events.responseFiltered();
        }
    }
    return true;
}

// Without Accept-Encoding servers send pages uncompressed; no notification.
bool ReferenceRequestFilter::askForPlainPages()
{
    RemoveHeaders(*m_text, isAcceptEncoding);
    return true;
}

} // namespace filters
