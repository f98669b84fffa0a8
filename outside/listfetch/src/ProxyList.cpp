#include "ProxyList.h"

#include <platform/Text.h>

#include <charconv>

namespace listfetch {

namespace {

constexpr std::string_view Blanks = " \t\r\n\f\v";

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool validHost(std::string_view host)
{
    if (host.empty() || host.size() > ProxyList::MaxHostLength) {
        return false;
    }
    for (char c : host) {
        if (!isHostChar(c)) {
            return false;
        }
    }
    return host.front() != '.' && host.front() != '-';
}

bool parsePort(std::string_view text, int& port)
{
    if (text.empty() || text.size() > 5) {
        return false;
    }
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = value;
    return true;
}

bool ignorable(std::string_view line)
{
    return line.empty() || line.front() == '#';
}

} // namespace

bool ProxyList::parseLine(std::string_view line, ProxyEntry& entry)
{
    line = text::trim(line, Blanks);
    if (ignorable(line)) {
        return false;
    }
    std::size_t colon = line.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string_view host = line.substr(0, colon);
    int port = 0;
    if (!validHost(host) || !parsePort(line.substr(colon + 1), port)) {
        return false;
    }
    entry.host.assign(host);
    entry.port = port;
    return true;
}

ProxyList ProxyList::parse(std::string_view text)
{
    ProxyList list;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (ignorable(text::trim(line, Blanks))) {
            continue;
        }
        ProxyEntry entry;
        if (list.m_entries.size() < MaxEntries && parseLine(line, entry)) {
            list.m_entries.push_back(std::move(entry));
        } else {
            ++list.m_skipped;
        }
    }
    return list;
}

std::string ProxyList::format() const
{
    std::string text;
    for (const ProxyEntry& entry : m_entries) {
        text += entry.host;
        text += ':';
        text += std::to_string(entry.port);
        text += '\n';
    }
    return text;
}

} // namespace listfetch
