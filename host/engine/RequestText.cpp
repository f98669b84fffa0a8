#include "RequestText.h"

#include <platform/Text.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace host::request {

namespace {

// Blanks, tabs and control bytes, and (as signed chars) every byte from 128 up.
bool isSpaceLike(char c)
{
    return static_cast<signed char>(c) <= 32;
}

constexpr std::array<std::string_view, 3> KnownBrowsers = {"msie", "netscape", "opera"};

struct BrowserTokens {
    ModernBrowser browser;
    std::array<std::string_view, 4> tokens; // empty ones are unused
};

// Tested top to bottom, the first match wins: Edge and Opera are Chromium browsers that
// add their own token, Firefox on iOS says "Safari/" too, and every Chromium browser
// says "Safari/". IE 11 dropped "MSIE" and kept only its engine's token.
constexpr std::array<BrowserTokens, 7> ModernTokens{{
    {ModernBrowser::Edge, {"edg/", "edge/", "edga/", "edgios/"}},
    {ModernBrowser::Opera, {"opr/", "", "", ""}},
    {ModernBrowser::Firefox, {"firefox/", "fxios/", "", ""}},
    {ModernBrowser::Chromium, {"chromium/", "", "", ""}},
    {ModernBrowser::Chrome, {"chrome/", "crios/", "", ""}},
    {ModernBrowser::Safari, {"safari/", "", "", ""}},
    {ModernBrowser::InternetExplorer, {"trident/", "", "", ""}},
}};

} // namespace

std::optional<std::string> extractHost(std::string_view text)
{
    constexpr std::string_view Marker = "Host:";
    std::size_t start = text.find(Marker);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    start += Marker.size();
    while (start < text.size() && isSpaceLike(text[start])) {
        ++start;
    }
    std::size_t lineFeed = text.find('\n', start);
    if (lineFeed == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t end = lineFeed; // one past the last byte kept
    while (end > start && isSpaceLike(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(start, end - start));
}

std::optional<std::string> captureValue(std::string_view text, std::string_view name,
                                        std::size_t skip)
{
    std::string lower = text::lower(text);
    std::size_t match = lower.find(name);
    if (match == std::string::npos) {
        return std::nullopt;
    }
    std::size_t start = match + skip;
    if (start > lower.size()) {
        return std::nullopt;
    }
    std::size_t lineFeed = lower.find('\n', start);
    if (lineFeed == std::string::npos) {
        return std::nullopt;
    }
    return lower.substr(start, lineFeed - start);
}

std::optional<std::string> captureUserAgent(std::string_view text)
{
    return captureValue(text, "user-agent", 11);
}

std::optional<std::string> captureDestination(std::string_view text)
{
    return captureValue(text, "host", 5);
}

bool isKnownBrowser(std::string_view lowerUserAgent)
{
    return std::any_of(KnownBrowsers.begin(), KnownBrowsers.end(), [&](std::string_view name) {
        return lowerUserAgent.find(name) != std::string_view::npos;
    });
}

std::optional<ModernBrowser> modernBrowser(std::string_view lowerUserAgent)
{
    for (const BrowserTokens& entry : ModernTokens) {
        for (std::string_view token : entry.tokens) {
            if (!token.empty() && lowerUserAgent.find(token) != std::string_view::npos) {
                return entry.browser;
            }
        }
    }
    return std::nullopt;
}

bool isBrowser(std::string_view lowerUserAgent, bool (*modernBrowsers)())
{
    return isKnownBrowser(lowerUserAgent) || (modernBrowser(lowerUserAgent) && modernBrowsers());
}

bool isConnectRequest(std::string_view text)
{
    return text::lower(text).find("connect ") != std::string::npos;
}

std::size_t rewriteToOriginForm(char* data, std::size_t length, std::string_view host)
{
    std::string absolute = "http://" + std::string(host);
    std::string_view text(data, length);
    std::size_t at = text.find(absolute);
    if (at == std::string_view::npos) {
        return length;
    }
    std::size_t tail = at + absolute.size();
    std::memmove(data + at, data + tail, length - tail);
    std::size_t newLength = length - absolute.size();
    data[newLength] = '\0';
    return newLength;
}

std::optional<std::string> absoluteTargetHost(std::string_view text)
{
    constexpr std::string_view Scheme = " http://";
    for (std::size_t line = 0; line < text.size();) {
        const std::size_t end = std::min(text.find('\n', line), text.size());
        const std::string_view current = text.substr(line, end - line);
        const std::size_t method = current.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        if (method != std::string_view::npos && method > 0 &&
            current.substr(method, Scheme.size()) == Scheme) {
            const std::string_view rest = current.substr(method + Scheme.size());
            const std::size_t hostEnd = std::min(rest.find_first_of("/ \r?#"), rest.size());
            if (hostEnd > 0 && hostEnd < rest.size()) {
                return std::string(rest.substr(0, hostEnd));
            }
        }
        line = end + 1;
    }
    return std::nullopt;
}

} // namespace host::request
