#pragma once
// The settings the proxy engine reads from the registry at each use, so that a change
// made in a settings page takes effect on the next chunk (chain in use and the filter
// switches are kept only as long as the registry's change stamp stands still).

#include <optional>

namespace host {

// Chain in use: 0 no, 1 yes; -1 after "Inavlid registry data" (callers treat it as yes).
int chainInUse();
// The unnamed DWORD of DLLs\Filters.dll\Req (Res); off when the key or value is missing.
bool requestFilteringOn();
bool responseFilteringOn();
// MODERNBROWSERS of the main key: whether today's browsers (Firefox, Chrome, Edge,
// Safari, ...) count as browsers; on when the value is absent or cannot be read.
bool modernBrowsersOn();
// FIRSTREQUESTTIMEOUT of the main key, in milliseconds: how long a client may take to
// send its first request head (DWORD seconds, 60 when missing; 0 means no limit, -1 here).
int firstRequestTimeoutMs();
// PROXYPORT of the main key (1-65535), or nothing after "Inavlid registry status" was
// shown (the
// caller must then end the process with exit code 0).
std::optional<int> readProxyPort();
// readProxyPort(), and std::exit(0) when it failed.
int readProxyPortOrExit();

} // namespace host
