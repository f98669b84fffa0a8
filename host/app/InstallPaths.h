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
    // The executable path up to the first "Umbravia.exe", with its trailing backslash
    // (empty when the name is not in the path).
    std::string installFolder;
    // installFolder followed by "DataFolder".
    std::string dataFolder;
};

InstallPaths installPathsFrom(const char* argv0);

} // namespace host::app
