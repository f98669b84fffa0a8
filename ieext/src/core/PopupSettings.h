#pragma once
// The pop-up killer and window-chrome settings as the helper object reads them at every
// event: the Internet Explorer settings key under HKEY_LOCAL_MACHINE, opened for reading.

#include <platform/WinTypes.h>

#include <optional>
#include <string>
#include <vector>

namespace ieext {

// List entries are read into buffers of these sizes: a value name of up to 255
// characters, an entry of up to 259. A longer one ends its list.
inline constexpr DWORD ListNameBytes = 256;
inline constexpr DWORD ListEntryBytes = 260;

// A missing value counts as 0, a missing rule subkey as an empty, disabled rule.
struct PopupSettings {
    DWORD killAllPopups = 0;
    DWORD windowResizable = 0;
    DWORD showAddressBar = 0;
    DWORD showMenuBar = 0;
    DWORD showStatusBar = 0;
    DWORD showToolBar = 0;
    DWORD sizeRule = 0;
    DWORD sizeThreshold = 0; // percent of the screen area
    DWORD urlRule = 0;
    std::vector<std::string> urlPatterns;
    DWORD titleRule = 0;
    std::vector<std::string> titles;
};

// Nothing when the key cannot be opened or the title list cannot be read to its end: the
// object then removes itself. An unreadable URL entry only ends the URL list.
std::optional<PopupSettings> readPopupSettings();

} // namespace ieext
