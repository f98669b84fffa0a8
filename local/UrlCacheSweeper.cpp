#include "UrlCacheSweeper.h"

#include "HostNotifier.h"

#include <platform/WinInet.h>

#include <vector>

namespace local {

namespace {

bool isCookie(const INTERNET_CACHE_ENTRY_INFO& entry)
{
    return (entry.CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
}

// One entry into buffer: the size first, then the entry itself.
template <typename Read> bool readEntry(std::vector<char>& buffer, Read read)
{
    DWORD size = 0;
    read(nullptr, &size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(INTERNET_CACHE_ENTRY_INFO)) {
        return false;
    }
    buffer.assign(size, 0);
    return read(reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data()), &size);
}

} // namespace

void UrlCacheSweeper::sweep(Mode mode)
{
    std::vector<char> buffer;
    HANDLE find = nullptr;
    const bool first = readEntry(buffer, [&](INTERNET_CACHE_ENTRY_INFO* info, DWORD* size) {
        find = FindFirstUrlCacheEntry(nullptr, info, size);
        return find != nullptr;
    });
    if (first) {
        do {
            const auto& entry = *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
            if (isCookie(entry) == (mode == Cookies)) {
                DeleteUrlCacheEntry(entry.lpszSourceUrlName);
            }
        } while (readEntry(buffer, [&](INTERNET_CACHE_ENTRY_INFO* info, DWORD* size) {
            return FindNextUrlCacheEntry(find, info, size) != FALSE;
        }));
        FindCloseUrlCache(find);
    }
    m_notifier.notify();
}

} // namespace local
