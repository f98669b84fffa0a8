#pragma once
// A public proxy list as text: one "host:port" a line; blank lines and lines starting
// with '#' are ignored, lines that are not a usable entry are skipped and counted.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace listfetch {

struct ProxyEntry {
    std::string host; // host name or dotted address, fits the caller's 512-byte buffer
    int port = 0;
    bool operator==(const ProxyEntry&) const = default;
};

class ProxyList {
public:
    // A list never holds more entries than this; the rest of a longer text is skipped.
    static constexpr std::size_t MaxEntries = 100000;
    // A DNS name is at most 253 characters; nothing longer is a host.
    static constexpr std::size_t MaxHostLength = 253;

    static ProxyList parse(std::string_view text);
    // One line without its line end (a trailing '\r' is tolerated); nothing when the
    // line is blank, a comment or unusable.
    static bool parseLine(std::string_view line, ProxyEntry& entry);

    // The list as text again, one "host:port\n" per entry.
    std::string format() const;

    const std::vector<ProxyEntry>& entries() const { return m_entries; }
    std::vector<ProxyEntry> takeEntries() { return std::move(m_entries); }
    std::size_t skipped() const { return m_skipped; }

private:
    std::vector<ProxyEntry> m_entries;
    std::size_t m_skipped = 0;
};

} // namespace listfetch
