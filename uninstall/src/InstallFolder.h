#pragma once
// The install folder: found through the main program's path in the main key, and emptied
// of its files at the end of the uninstall. Only the folder's own files go: folders
// below it stay, a symbolic link is removed as a link and never followed, and a folder
// that is (or holds) the drive root, the profile, the environment folder or the home
// folder is never emptied, whatever the registry says.

#include <optional>
#include <string>

namespace uninstall {

inline constexpr const char* MainProgramFile = "Umbravia.exe";

struct FolderRemoval {
    enum class Outcome {
        Emptied,          // the files went (those that could)
        NotInstallFolder, // it holds no Umbravia.exe: nothing was touched
        Protected,        // a guarded folder: nothing was touched
        SymbolicLink,     // the folder is a link: nothing was touched
    };
    Outcome outcome = Outcome::Emptied;
    bool folderRemoved = false;
};

class InstallFolder {
public:
    // The text before "Umbravia.exe" in the main key's unnamed value (it ends in a
    // backslash), or nothing when the value is missing, longer than 260 bytes or does not
    // name the program.
    static std::optional<std::string> fromMainKey();

    // Deletes every file of the folder and then the folder when it is empty.
    static FolderRemoval remove(const std::string& folder);
};

} // namespace uninstall
