#include "ProxyEdits.h"

#include <platform/Text.h>

#include <desktop/DesktopIntegration.h>

#include <algorithm>
#include <array>
#include <vector>

namespace desktop {

namespace {

// --- lines ------------------------------------------------------------------------------

// Each line keeps its own line end, so that joining them gives the text back unchanged.
std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        out += line;
    }
    return out;
}

std::string_view body(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view lineEnd(std::string_view line)
{
    return line.substr(body(line).size());
}

// A last line without its line end gets one, before a line is added after it.
void endLastLine(std::vector<std::string>& lines)
{
    if (!lines.empty() && lineEnd(lines.back()).empty()) {
        lines.back() += '\n';
    }
}

// A line taken from another text: it needs a line end when more lines follow it.
std::string placed(const std::string& line, bool linesFollow)
{
    return linesFollow && lineEnd(line).empty() ? line + "\n" : line;
}

bool isBlank(std::string_view line)
{
    return text::trim(body(line), " \t").empty();
}

// --- KDE: kioslaverc --------------------------------------------------------------------

constexpr std::string_view kKdeSection = "[Proxy Settings]";
// ProxyType 1 is the manual setting; ReversedException false keeps NoProxyFor a list of
// hosts that go direct (true would turn it into the only hosts that use the proxy).
constexpr std::array<const char*, 4> kKdeKeys{"ProxyType", "httpProxy", "NoProxyFor",
                                              "ReversedException"};

bool isSectionHeader(std::string_view line)
{
    return text::trim(body(line)).starts_with('[');
}

std::optional<std::size_t> findSection(const std::vector<std::string>& lines)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (text::trim(body(lines[i])) == kKdeSection) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t sectionEnd(const std::vector<std::string>& lines, std::size_t header)
{
    std::size_t i = header + 1;
    while (i < lines.size() && !isSectionHeader(lines[i])) {
        ++i;
    }
    return i;
}

// The place for a new key: after the section's last line that is not blank.
std::size_t insertionPoint(const std::vector<std::string>& lines, std::size_t header)
{
    std::size_t end = sectionEnd(lines, header);
    while (end > header + 1 && isBlank(lines[end - 1])) {
        --end;
    }
    return end;
}

std::optional<std::size_t> findKey(const std::vector<std::string>& lines, std::size_t header,
                                   std::string_view key)
{
    const std::size_t end = sectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view line = body(lines[i]);
        std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && text::trim(line.substr(0, eq)) == key) {
            return i;
        }
    }
    return std::nullopt;
}

std::string keyValue(const std::vector<std::string>& lines, std::size_t header,
                     std::string_view key)
{
    std::optional<std::size_t> at = findKey(lines, header, key);
    if (!at) {
        return {};
    }
    std::string_view line = body(lines[*at]);
    return std::string(text::trim(line.substr(line.find('=') + 1)));
}

void setKey(std::vector<std::string>& lines, std::size_t header, std::string_view key,
            const std::string& value)
{
    const std::string entry = std::string(key) + "=" + value;
    if (std::optional<std::size_t> at = findKey(lines, header, key)) {
        std::string end(lineEnd(lines[*at]));
        lines[*at] = entry + (end.empty() ? "\n" : end);
        return;
    }
    std::size_t at = insertionPoint(lines, header);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry + "\n");
}

// The user's own direct hosts stay, ours are added.
std::string mergedNoProxy(std::string_view current)
{
    std::vector<std::string> hosts;
    std::size_t at = 0;
    while (at <= current.size()) {
        std::size_t comma = current.find(',', at);
        comma = comma == std::string_view::npos ? current.size() : comma;
        std::string host(text::trim(current.substr(at, comma - at)));
        if (!host.empty() && std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            hosts.push_back(host);
        }
        at = comma + 1;
    }
    for (const char* host : DirectHosts) {
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            hosts.emplace_back(host);
        }
    }
    std::string out;
    for (const std::string& host : hosts) {
        out += (out.empty() ? "" : ",") + host;
    }
    return out;
}

std::string applyKioslaverc(std::string_view current, unsigned port)
{
    std::vector<std::string> lines = splitLines(current);
    endLastLine(lines);
    std::optional<std::size_t> header = findSection(lines);
    if (!header) {
        if (!lines.empty() && !isBlank(lines.back())) {
            lines.emplace_back("\n");
        }
        lines.emplace_back(std::string(kKdeSection) + "\n");
        header = lines.size() - 1;
    }
    // A list of the only hosts that use a proxy is not a list of hosts that go direct.
    const bool reversed = text::equalsNoCase(keyValue(lines, *header, "ReversedException"), "true");
    const std::string noProxy =
        mergedNoProxy(reversed ? "" : keyValue(lines, *header, "NoProxyFor"));
    setKey(lines, *header, "ProxyType", "1");
    // KDE's own settings page writes the port after a blank.
    setKey(lines, *header, "httpProxy", "http://127.0.0.1 " + std::to_string(port));
    setKey(lines, *header, "NoProxyFor", noProxy);
    setKey(lines, *header, "ReversedException", "false");
    return joinLines(lines);
}

std::optional<std::string> revertKioslaverc(std::string_view current,
                                            const std::optional<std::string>& original)
{
    std::vector<std::string> lines = splitLines(current);
    std::optional<std::size_t> header = findSection(lines);
    if (!header) {
        return std::string(current);
    }
    const std::vector<std::string> before =
        original ? splitLines(*original) : std::vector<std::string>{};
    const std::optional<std::size_t> beforeHeader = findSection(before);
    for (const char* key : kKdeKeys) {
        // The key's line in the original, empty when it had none.
        std::string was;
        if (beforeHeader) {
            if (std::optional<std::size_t> at = findKey(before, *beforeHeader, key)) {
                was = before[*at];
            }
        }
        std::optional<std::size_t> now = findKey(lines, *header, key);
        if (now && !was.empty()) {
            lines[*now] = placed(was, *now + 1 < lines.size());
        } else if (now) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*now));
        } else if (!was.empty()) {
            endLastLine(lines);
            std::size_t at = insertionPoint(lines, *header);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                         placed(was, at < lines.size()));
        }
    }
    // A section we added goes again once nothing is left in it, with the blank line before it.
    if (!beforeHeader) {
        const std::size_t end = sectionEnd(lines, *header);
        bool empty = true;
        for (std::size_t i = *header + 1; i < end; ++i) {
            empty = empty && isBlank(lines[i]);
        }
        if (empty) {
            std::size_t first = *header;
            if (first > 0 && isBlank(lines[first - 1])) {
                --first;
            }
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                        lines.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }
    std::string out = joinLines(lines);
    if (!original && text::trim(out, " \t\r\n").empty()) {
        return std::nullopt;
    }
    return out;
}

// --- Firefox: user.js and prefs.js --------------------------------------------------------

constexpr std::string_view kBlockBegin =
    "// Umbravia: begin. Written while Umbravia runs, removed when it stops.";
constexpr std::string_view kBlockEnd = "// Umbravia: end";
// The proxy preferences of the block; prefs.js gets them back as they were. No HTTPS
// proxy is named and the HTTP proxy is not shared, so HTTPS goes direct.
constexpr std::array<const char*, 5> kFirefoxPrefs{
    "network.proxy.type", "network.proxy.http", "network.proxy.http_port",
    "network.proxy.share_proxy_settings", "network.proxy.no_proxies_on"};

std::string prefKey(const char* name)
{
    return std::string("user_pref(\"") + name + "\",";
}

bool isPrefLine(std::string_view line, const char* name)
{
    std::string_view trimmed = text::trim(body(line));
    std::string key = prefKey(name);
    // Firefox writes no blank after the parenthesis; a hand-written line may have one.
    if (trimmed.starts_with(key)) {
        return true;
    }
    std::string spaced = std::string("user_pref( \"") + name + "\",";
    return trimmed.starts_with(spaced);
}

std::vector<std::string> withoutBlock(std::string_view current)
{
    std::vector<std::string> lines = splitLines(current);
    auto begin = std::find_if(lines.begin(), lines.end(),
                              [](const std::string& line) { return body(line) == kBlockBegin; });
    if (begin == lines.end()) {
        return lines;
    }
    auto end = std::find_if(begin, lines.end(),
                            [](const std::string& line) { return body(line) == kBlockEnd; });
    if (end != lines.end()) {
        lines.erase(begin, end + 1);
        return lines;
    }
    // A block someone cut short: its own lines go, the user's lines after it stay.
    auto last = begin + 1;
    while (last != lines.end() &&
           text::trim(body(*last)).starts_with("user_pref(\"network.proxy.")) {
        ++last;
    }
    lines.erase(begin, last);
    return lines;
}

std::string applyUserJs(std::string_view current, unsigned port)
{
    std::vector<std::string> lines = withoutBlock(current);
    endLastLine(lines);
    std::string out = joinLines(lines);
    out += std::string(kBlockBegin) + "\n";
    out += prefKey("network.proxy.type") + " 1);\n";
    out += prefKey("network.proxy.http") + " \"127.0.0.1\");\n";
    out += prefKey("network.proxy.http_port") + " " + std::to_string(port) + ");\n";
    out += prefKey("network.proxy.share_proxy_settings") + " false);\n";
    out += prefKey("network.proxy.no_proxies_on") + " \"" + directHostList(", ") + "\");\n";
    out += std::string(kBlockEnd) + "\n";
    return out;
}

std::optional<std::string> revertUserJs(std::string_view current,
                                        const std::optional<std::string>& original)
{
    std::string out = joinLines(withoutBlock(current));
    if (!original && out.empty()) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> revertPrefsJs(std::string_view current,
                                         const std::optional<std::string>& original)
{
    std::vector<std::string> lines = splitLines(current);
    const std::vector<std::string> before =
        original ? splitLines(*original) : std::vector<std::string>{};
    for (const char* name : kFirefoxPrefs) {
        auto was = std::find_if(before.begin(), before.end(),
                                [name](const std::string& line) { return isPrefLine(line, name); });
        bool replaced = false;
        for (auto it = lines.begin(); it != lines.end();) {
            if (!isPrefLine(*it, name)) {
                ++it;
            } else if (was != before.end() && !replaced) {
                *it = placed(*was, it + 1 != lines.end());
                replaced = true;
                ++it;
            } else {
                it = lines.erase(it);
            }
        }
        if (was != before.end() && !replaced) {
            endLastLine(lines);
            lines.push_back(*was);
        }
    }
    return joinLines(lines);
}

std::string applyNothing(std::string_view current, unsigned)
{
    return std::string(current);
}

// --- the login environment -----------------------------------------------------------------

std::string applyEnvironment(std::string_view, unsigned port)
{
    const std::string proxy = "http://127.0.0.1:" + std::to_string(port) + "/";
    const std::string direct = directHostList(",");
    return "# Umbravia's local proxy for the programs of the next login (plain HTTP only:\n"
           "# HTTPS goes direct). Umbravia removes this file when it stops.\n"
           "http_proxy=" +
           proxy + "\nHTTP_PROXY=" + proxy + "\nno_proxy=" + direct + "\nNO_PROXY=" + direct + "\n";
}

std::optional<std::string> revertEnvironment(std::string_view,
                                             const std::optional<std::string>& original)
{
    return original;
}

} // namespace

const ProxyEdit KioslavercEdit{"kioslaverc", applyKioslaverc, revertKioslaverc};
const ProxyEdit UserJsEdit{"user.js", applyUserJs, revertUserJs};
const ProxyEdit PrefsJsEdit{"prefs.js", applyNothing, revertPrefsJs};
const ProxyEdit EnvironmentEdit{"environment.d", applyEnvironment, revertEnvironment};

const ProxyEdit* proxyEdit(std::string_view name)
{
    for (const ProxyEdit* edit : {&KioslavercEdit, &UserJsEdit, &PrefsJsEdit, &EnvironmentEdit}) {
        if (name == edit->name) {
            return edit;
        }
    }
    return nullptr;
}

std::string directHostList(std::string_view sep)
{
    std::string out;
    for (const char* host : DirectHosts) {
        if (!out.empty()) {
            out += sep;
        }
        out += host;
    }
    return out;
}

} // namespace desktop
