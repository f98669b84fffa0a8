#pragma once
// The text edits behind the file targets. Each edit points a file's text at the local
// proxy (apply) or takes it off again (revert): revert puts back the proxy settings the
// original text had and leaves every other line as it is now, so a line someone changed
// meanwhile survives. Nothing here touches a file.

#include <optional>
#include <string>
#include <string_view>

namespace desktop {

struct ProxyEdit {
    const char* name; // as the journal names it
    // The text pointed at 127.0.0.1:port. Empty for a file that is only watched.
    std::string (*apply)(std::string_view current, unsigned port);
    // current with the proxy settings as original had them (no original: there was no
    // such file). Nothing: the file should go.
    std::optional<std::string> (*revert)(std::string_view current,
                                         const std::optional<std::string>& original);
};

// By journal name; nullptr for a name no edit has.
const ProxyEdit* proxyEdit(std::string_view name);

extern const ProxyEdit KioslavercEdit;  // KDE: [Proxy Settings] of kioslaverc
extern const ProxyEdit UserJsEdit;      // Firefox: a marked block of our own in user.js
extern const ProxyEdit PrefsJsEdit;     // Firefox: prefs.js, watched (Firefox copies user.js there)
extern const ProxyEdit EnvironmentEdit; // the login environment: a file of our own

// The no-proxy list joined with sep.
std::string directHostList(std::string_view sep);

} // namespace desktop
