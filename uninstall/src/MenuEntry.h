#pragma once
// The application menu entry that scripts/install-desktop.sh puts into the user's data
// folder (${XDG_DATA_HOME:-~/.local/share}): applications/umbravia.desktop and the icon
// umbravia.png in every size folder of icons/hicolor. The uninstall helper takes both
// away again.

#include <filesystem>

namespace uninstall {

class MenuEntry {
public:
    // XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty when neither
    // is known (no HOME), and then nothing is removed.
    static std::filesystem::path dataHome();
    static std::filesystem::path entryPath();
    // Removes the entry (only one that starts Umbravia.exe: a file of that name written by
    // someone else stays) and the icons. Links are removed as links. Missing files are no
    // error; false when a file that is there could not be removed.
    static bool remove();
};

} // namespace uninstall
