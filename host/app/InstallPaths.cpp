#include "InstallPaths.h"

#include <platform/Environment.h>

namespace host::app {

InstallPaths installPathsFrom(const char* argv0)
{
    InstallPaths paths;
    paths.executable = platform::programPathFromArgv0(argv0 != nullptr ? argv0 : "").str();
    if (paths.executable.size() >= MaxPath) {
        paths.executable.resize(MaxPath - 1);
    }
    // The folder comes from the absolute path, however the program was started: a
    // relative start must not register bare names that only hold in its current folder.
    const std::size_t at = paths.executable.find(ProgramFileName);
    if (at != std::string::npos) {
        paths.installFolder = paths.executable.substr(0, at);
    }
    paths.dataFolder = paths.installFolder + "DataFolder";
    return paths;
}

} // namespace host::app
