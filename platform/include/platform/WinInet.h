#pragma once
// WinINet as far as the suite uses it.
//
// Cookies. The store lives in the profile's Cookies folder (CSIDL_COOKIES), one file per
// cookie domain named "<login>@<domain>.txt" (lower case), so that clearing that folder
// clears the store, as on Windows. Each line of a file is one cookie, fields separated by
// tabs: name, value, path, scope ("H" host only, "D" the domain and its subdomains) and
// expiry (seconds since 1970, 0 when the cookie named no date). Files are replaced
// atomically; writers in every process of the prefix take a lock on the folder.
// Unlike WinINet, a cookie without an expiry date is kept in the store as well (WinINet
// keeps those in the memory of one process), so that every process sees it.

#include <platform/WinTypes.h>

#include <string_view>

// The cookie text held for url: "name=value; name2=value2" (cookies with longer paths
// first). cookieName is not used, as on Windows. data null: *size receives the bytes
// needed (terminating zero included) and TRUE is returned. A buffer too small: FALSE,
// ERROR_INSUFFICIENT_BUFFER and *size the bytes needed. Success: *size the length
// without the zero. No cookie for url: FALSE, ERROR_NO_MORE_ITEMS. A url without
// "scheme://host": FALSE, ERROR_INVALID_PARAMETER.
BOOL InternetGetCookieA(LPCSTR url, LPCSTR cookieName, LPSTR data, LPDWORD size) noexcept;
// Stores a cookie for url. With cookieName, data is the value ("name=value" is stored);
// without, data is a Set-Cookie text: "name=value" followed by attributes ("; path=/",
// "; domain=.example.com", "; expires=Thu, 01-Jan-1970 00:00:01 GMT", "; max-age=0").
// An expiry in the past removes the cookie. FALSE with ERROR_INVALID_PARAMETER for a bad
// url, a control character in the cookie, or a domain that does not cover the url's host.
BOOL InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR data) noexcept;

inline BOOL InternetGetCookie(LPCSTR url, LPCSTR cookieName, LPSTR data, LPDWORD size) noexcept
{
    return InternetGetCookieA(url, cookieName, data, size);
}
inline BOOL InternetSetCookie(LPCSTR url, LPCSTR cookieName, LPCSTR data) noexcept
{
    return InternetSetCookieA(url, cookieName, data);
}

namespace platform {

// Stores a cookie given as a Set-Cookie text for url (tests and the proxy):
// setCookie("http://www.example.com/", "id=42; path=/").
bool setCookie(std::string_view url, std::string_view setCookieText);

} // namespace platform

// --- Connected state --------------------------------------------------------------------
//
// Whether the machine is connected: on Linux, whether it has a route (IPv4 or IPv6,
// link-local and multicast routes left out) through an interface other than loopback,
// as /proc/net/route and /proc/net/ipv6_route list them. UMBRAVIA_CONNECTED_STATE set to
// "online" or "offline" gives the answer instead (tests, machines whose routes mislead).

constexpr DWORD INTERNET_CONNECTION_LAN = 0x02;
constexpr DWORD INTERNET_CONNECTION_OFFLINE = 0x20;

// TRUE and *flags INTERNET_CONNECTION_LAN when connected; FALSE and
// INTERNET_CONNECTION_OFFLINE otherwise. flags may be null.
BOOL InternetGetConnectedState(LPDWORD flags, DWORD reserved) noexcept;

namespace platform {

// The decision over the two route tables' texts (their header lines included).
bool routesReachBeyondLoopback(std::string_view ipv4Routes, std::string_view ipv6Routes);

} // namespace platform

// --- URL cache --------------------------------------------------------------------------
//
// The cache index lives in the prefix (urlcache.db, SQLite, shared by every process of
// the prefix); the content of an entry is its local file in the profile's Temporary
// Internet Files folder (cookie entries: in the Cookies folder). The cookie files of the
// store above are listed as cookie entries too, "Cookie:<login>@<domain>/" with the type
// COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY and the cookie file as local file, so that
// deleting such an entry deletes that file, as on Windows.

#include <platform/Environment.h>
#include <platform/Result.h>

#include <string>

constexpr DWORD NORMAL_CACHE_ENTRY = 0x00000001;
constexpr DWORD STICKY_CACHE_ENTRY = 0x00000004;
constexpr DWORD EDITED_CACHE_ENTRY = 0x00000008;
constexpr DWORD TRACK_OFFLINE_CACHE_ENTRY = 0x00000010;
constexpr DWORD TRACK_ONLINE_CACHE_ENTRY = 0x00000020;
constexpr DWORD SPARSE_CACHE_ENTRY = 0x00010000;
constexpr DWORD COOKIE_CACHE_ENTRY = 0x00100000;
constexpr DWORD URLHISTORY_CACHE_ENTRY = 0x00200000;

// One entry as the find functions return it: the structure, followed in the same buffer
// by the texts its pointers point to.
struct INTERNET_CACHE_ENTRY_INFO {
    DWORD dwStructSize;
    LPSTR lpszSourceUrlName;
    LPSTR lpszLocalFileName; // DOS path
    DWORD CacheEntryType;
    DWORD dwUseCount;
    DWORD dwHitRate;
    DWORD dwSizeLow;
    DWORD dwSizeHigh;
    FILETIME LastModifiedTime;
    FILETIME ExpireTime;
    FILETIME LastAccessTime;
    FILETIME LastSyncTime;
    LPSTR lpHeaderInfo;
    DWORD dwHeaderInfoSize;
    LPSTR lpszFileExtension;
    DWORD dwExemptDelta;
};
using LPINTERNET_CACHE_ENTRY_INFO = INTERNET_CACHE_ENTRY_INFO*;

// Starts a listing of the cache, taken as it is at this moment (entries deleted while
// the listing runs are still listed). searchPattern null, "" or "*.*": every entry;
// "cookie:": the cookie entries; "visited:": the history entries; any other text: the
// entries whose URL starts with it (without regard to case). info null or *size too
// small: null, ERROR_INSUFFICIENT_BUFFER and *size the bytes needed (call again with a
// buffer that large; the listing starts over). An empty listing: null,
// ERROR_NO_MORE_ITEMS.
HANDLE FindFirstUrlCacheEntry(LPCSTR searchPattern, LPINTERNET_CACHE_ENTRY_INFO info,
                              LPDWORD size) noexcept;
// The next entry. FALSE with ERROR_NO_MORE_ITEMS past the end; FALSE with
// ERROR_INSUFFICIENT_BUFFER and *size the bytes needed when info is null or too small
// (the listing does not move on, so the next call returns the same entry).
BOOL FindNextUrlCacheEntry(HANDLE find, LPINTERNET_CACHE_ENTRY_INFO info, LPDWORD size) noexcept;
BOOL FindCloseUrlCache(HANDLE find) noexcept;
// Deletes the entry of that URL (compared without regard to case) and its local file.
// FALSE with ERROR_FILE_NOT_FOUND when there is no such entry.
BOOL DeleteUrlCacheEntry(LPCSTR url) noexcept;

namespace platform {

// A new cache entry (tests and the proxy).
struct UrlCacheEntry {
    std::string url;
    std::string content; // written to the entry's local file
    DWORD type = NORMAL_CACHE_ENTRY;
    std::string headers;
    std::string fileExtension; // without the dot; empty: taken from the URL
};

// Adds the entry, replacing an entry of the same URL (and its local file). Returns the
// DOS path of the local file that holds the content.
Result<DosPath> addUrlCacheEntry(const UrlCacheEntry& entry);

} // namespace platform
