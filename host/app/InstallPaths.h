#pragma once
// The three texts the host computes at start from its first command-line argument: its
// own path, the install folder and the data folder.

#include <string>

namespace host::app {

inline constexpr const char* ProgramFileName = "Umbravia.exe";
inline constexpr std::size_t MaxPath = 260;

struct InstallPaths {
    // The program's own DOS path, made absolute when it was given relative.
    std::string executable;
    // Only for a program started through an absolute path: the executable path up to the
    // first "Umbravia.exe", with its trailing backslash; otherwise empty, and the first
    // run then looks for the modules in the current folder.
    std::string installFolder;
    // installFolder followed by "DataFolder".
    std::string dataFolder;
};

InstallPaths installPathsFrom(const char* argv0);

} // namespace host::app
