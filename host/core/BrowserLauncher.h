#pragma once
// The browser the suite starts by its Windows path, C:\Program Files\Internet
// Explorer\iexplore.exe: on Linux a small launcher built beside the program, copied into
// the prefix's drive C: at every start, which opens its address with xdg-open.

#include <platform/Environment.h>
#include <platform/Result.h>

namespace host {

inline constexpr const char* BrowserDosPath = "C:\\Program Files\\Internet Explorer\\iexplore.exe";

// Copies <programFolder>/iexplore.exe to BrowserDosPath (replacing an older copy).
[[nodiscard]] platform::Result<void>
installBrowserLauncher(const platform::HostPath& programFolder = platform::programFolder());

} // namespace host
