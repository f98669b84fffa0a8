#pragma once
// The text work the engine does on a request: finding the "Host:" line, capturing the
// user agent and destination, recognising browsers and CONNECT, and cutting the absolute
// URL down to origin form. Requests are searched as the bytes of one chunk.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace host::request {

// The value of the first "Host:" line (exact case), without the blanks and control
// bytes around it; nothing while the line has no line feed yet.
std::optional<std::string> extractHost(std::string_view text);

// The lowercased rest of the first line whose lowercased text holds name, starting
// skip bytes after the match (just past the colon) and ending before the line feed;
// the blank after the colon and the carriage return stay. Nothing without a match or
// without a line feed after the start.
std::optional<std::string> captureValue(std::string_view text, std::string_view name,
                                        std::size_t skip);
std::optional<std::string> captureUserAgent(std::string_view text);
std::optional<std::string> captureDestination(std::string_view text);

// Internet Explorer, Netscape or Opera, from a lowercased user agent.
bool isKnownBrowser(std::string_view lowerUserAgent);

// Today's browsers, which name themselves by product tokens rather than by the three
// words: "Firefox/", "Chrome/", "Edg/", "OPR/", "Safari/", "Trident/".
enum class ModernBrowser { InternetExplorer, Opera, Edge, Firefox, Chromium, Chrome, Safari };
// The browser a lowercased user agent names by its tokens. Chromium's browsers all
// carry "chrome/" and "safari/", and Chrome carries "safari/" too, so the tokens are
// tested from the most particular to the most general and the first that matches wins.
std::optional<ModernBrowser> modernBrowser(std::string_view lowerUserAgent);
// Whether requests of this lowercased user agent are a browser's: one of the three
// words, or a token of today's browsers while modernBrowsers() says so (the
// MODERNBROWSERS switch). modernBrowsers is asked only for an agent that needs it.
bool isBrowser(std::string_view lowerUserAgent, bool (*modernBrowsers)());
// "connect " anywhere in the lowercased text.
bool isConnectRequest(std::string_view text);

// The host of the first request line in absolute form ("GET http://host/..." at the
// start of the text or of a line); nothing when there is none.
std::optional<std::string> absoluteTargetHost(std::string_view text);

// Removes the first "http://<host>" from the bytes at data (length bytes, a zero byte
// after them) and returns the new length; the zero byte follows the new end.
std::size_t rewriteToOriginForm(char* data, std::size_t length, std::string_view host);

} // namespace host::request
