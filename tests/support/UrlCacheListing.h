#pragma once
// The URL cache as a test sees it: the URLs listed for a search pattern, sorted.

#include <platform/WinInet.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// pattern as FindFirstUrlCacheEntry takes it ("visited:" for the history entries).
inline std::vector<std::string> urlCacheListing(const char* pattern)
{
    std::vector<std::string> urls;
    std::vector<char> buffer(8192);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size());
    HANDLE find = FindFirstUrlCacheEntry(pattern, info, &size);
    for (bool more = find != nullptr; more;) {
        urls.emplace_back(info->lpszSourceUrlName);
        size = static_cast<DWORD>(buffer.size());
        more = FindNextUrlCacheEntry(find, info, &size);
    }
    if (find != nullptr) {
        FindCloseUrlCache(find);
    }
    std::sort(urls.begin(), urls.end());
    return urls;
}

} // namespace testsupport
