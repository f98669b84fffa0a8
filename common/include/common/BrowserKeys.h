#pragma once
// The browser registrations of the suite under HKEY_LOCAL_MACHINE: written by the host's
// first run, removed by the uninstall helper.

#include <common/BrowserHelper.h>

namespace browserkeys {

// The browser helper object's key: present while a host runs.
inline constexpr const char* HelperObjectKey = browserhelper::RegistrationKey;
// The toolbar button.
inline constexpr const char* ExtensionKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
// The toolbar band: a value named by its class identifier.
inline constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
inline constexpr const char* ToolbarBandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";

} // namespace browserkeys
