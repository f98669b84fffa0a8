#pragma once
// The user's own files that the desktop targets read and write: where they are (HOME and
// the XDG configuration folder, read anew on every call) and how they are replaced (in
// one step, keeping their mode, through a symbolic link the user keeps there).

#include <platform/Result.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace desktop {

// $HOME when it is an absolute path, else the login's home from the user database.
std::filesystem::path homeFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path configFolder();

struct FileState {
    std::optional<std::string> bytes; // nothing: there is no such file
    unsigned mode = 0644;             // permission bits (of the file a link leads to)
};

// The file as it is now; an error when it exists but cannot be read.
platform::Result<FileState> readUserFile(const std::filesystem::path& file);

// Replaces the file in one step with mode, making its folder when missing. A symbolic
// link there is kept: the file it leads to is replaced.
platform::Result<void> writeUserFile(const std::filesystem::path& file, std::string_view bytes,
                                     unsigned mode);
// Removes the file (a link there: the link itself); no error when it is already gone.
platform::Result<void> removeUserFile(const std::filesystem::path& file);

} // namespace desktop
