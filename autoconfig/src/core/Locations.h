#pragma once
// Where the configured programs keep their settings: the install folder from a
// program's uninstall entry, the user's application-data folder, the Windows version.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright {

// The uninstall string of HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\<key>
// (at most 260 bytes), or nothing when the key or the value cannot be read.
std::optional<std::string> uninstallString(const char* key);

// The uninstall string cut right after the first occurrence of marker (case-sensitive),
// or the whole string when the marker does not occur. Nothing when the program is not
// installed.
std::optional<std::string> locateInstallFolder(const char* key, std::string_view marker);
// The same, but only when the marker occurs (the backup and restore ask for that).
std::optional<std::string> locateInstallFolderStrict(const char* key, std::string_view marker);

// CSIDL_APPDATA without a trailing backslash ("" when it cannot be had).
std::string applicationDataFolder();

// The names FindFirstFile lists for the pattern ("folder\\*.*"), "." and ".." included;
// empty when nothing matches.
std::vector<std::string> listFolder(const std::string& pattern);

enum class WindowsPlatform { Unknown, Windows9x, NT };
WindowsPlatform windowsPlatform();

} // namespace rigwright
