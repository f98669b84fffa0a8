#pragma once
// Starting Umbravia with the desktop session: the Run value "Umbravia" (what the general
// page, the wizard and the uninstall helper write and delete) is mirrored into an XDG
// autostart entry, $XDG_CONFIG_HOME/autostart/umbravia.desktop (~/.config/autostart),
// because no Linux session reads the Run key.

#include <desktop/DesktopIntegration.h>

#include <filesystem>

namespace desktop {

// HKEY_CURRENT_USER\<RunKey>, value RunValue: the program path, as the general page writes it.
inline constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* RunValue = "Umbravia";

// The autostart entry's file.
std::filesystem::path autostartEntryPath();

// Makes the autostart entry follow the Run value: when the value exists the entry starts
// the program it names (its DOS path translated to the Linux one) with +Tray; when it does
// not, the entry is removed. Call it right after writing or deleting the value.
Result mirrorAutostart() noexcept;
// The beginning of the warning its callers show when mirroring failed (the result's
// message follows).
inline constexpr const char* AutostartFailedText =
    "Umbravia could not update its entry in the desktop session's autostart folder: ";

} // namespace desktop
