#pragma once
// An XDG desktop entry (the autostart entry, the application menu entry), written so that
// desktop-file-validate accepts it.

#include <desktop/DesktopIntegration.h>

#include <filesystem>
#include <string>
#include <vector>

namespace desktop {

// The suite's icon in the icon theme (hicolor): the autostart and menu entries name it.
inline constexpr const char* AppIconName = "umbravia";

struct DesktopEntry {
    std::string name;                    // Name=
    std::string comment;                 // Comment= (left out when empty)
    std::vector<std::string> command;    // Exec=: the program and its arguments, quoted as needed
    std::string icon;                    // Icon=: a theme icon name or an absolute path
    std::vector<std::string> categories; // Categories= (left out when empty)
    bool tryExec = false;                // TryExec= the program: the entry hides when it is gone
    std::vector<std::string> extraLines; // further "Key=value" lines, as they are

    // The file's text.
    std::string text() const;
};

// One Exec argument, quoted and escaped as the desktop entry format asks.
std::string execArgument(const std::string& argument);

// Writes the entry in one step (beside the target, then renamed), mode 0644, creating
// its folder when missing.
Result writeDesktopEntry(const std::filesystem::path& file, const DesktopEntry& entry) noexcept;

} // namespace desktop
