#pragma once
// Fetches the list text from an http or https address with libcurl, bounded in time and
// size, through no proxy (the list must not depend on the proxy it feeds).

#include <platform/Result.h>

#include <cstddef>
#include <string>

namespace listfetch {

class ListDownloader {
public:
    // A list text larger than this is refused.
    static constexpr std::size_t MaxBytes = 4 * 1024 * 1024;
    // At most this many redirects are followed (http and https only).
    static constexpr long MaxRedirects = 5;

    explicit ListDownloader(long timeoutMs) : m_timeoutMs(timeoutMs) {}

    // The body of a successful answer (2xx after redirects), or why it failed.
    platform::Result<std::string> fetch(const std::string& address) const;

private:
    long m_timeoutMs;
};

} // namespace listfetch
