#pragma once
// The browser registrations of the suite under HKEY_LOCAL_MACHINE: written by the first
// run and by the toolbar switches of the integration dialog and the wizard, removed by
// the uninstall helper.

#include <common/BrowserHelper.h>
#include <platform/WinTypes.h>

#include <string>

namespace browserkeys {

// The browser helper object's key: present while a host runs.
inline constexpr const char* HelperObjectKey = browserhelper::RegistrationKey;
// The toolbar button.
inline constexpr const char* ExtensionKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
// The toolbar band: a value named by its class identifier.
inline constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
inline constexpr const char* ToolbarBandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";
// The toolbar's module, beside the main program.
inline constexpr const char* ToolbarPlugin = "UmbraIEPlugin.dll";

// The toolbar button's values under ExtensionKey, its icons taken from the toolbar
// module at pluginPath (a DOS path). A key that cannot be created is skipped.
void writeToolbarExtension(const std::string& pluginPath);
// The band's value under ToolbarKey (0).
void writeToolbarBand();
// Takes the band's value and the button's key away.
void removeToolbarKeys();
// The toolbar switch of the integration dialog and the wizard: on runs "regsvr32 /s" on
// the toolbar module (quoted, from the system folder, not waited for) and writes the
// button and band; off runs "regsvr32 /u /s" and takes them away.
void switchToolbar(HWND owner, bool on, const std::string& pluginPath);

} // namespace browserkeys
