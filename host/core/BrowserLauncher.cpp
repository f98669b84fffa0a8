#include "BrowserLauncher.h"

#include <unistd.h>

#include <filesystem>

namespace host {

namespace fs = std::filesystem;

platform::Result<void> installBrowserLauncher(const platform::HostPath& programFolder)
{
    const fs::path source = programFolder / "iexplore.exe";
    auto target = platform::toHostPath(BrowserDosPath);
    if (!target) {
        return target.error();
    }
    std::error_code error;
    if (!fs::is_regular_file(source, error)) {
        return platform::makeError(ERROR_FILE_NOT_FOUND, "no launcher at " + source.string());
    }
    fs::create_directories(target->parent_path(), error);
    // Through a temporary file and a rename, so that a launcher that runs right now is
    // never seen half written.
    const fs::path temporary =
        target->parent_path() / (".iexplore.exe." + std::to_string(::getpid()));
    if (error || !fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error)) {
        return platform::makeError(ERROR_WRITE_FAULT, "cannot copy the launcher to " +
                                                          target->string() + ": " +
                                                          error.message());
    }
    fs::permissions(temporary,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
    fs::rename(temporary, *target, error);
    if (error) {
        fs::remove(temporary, error);
        return platform::makeError(ERROR_WRITE_FAULT,
                                   "cannot install the launcher at " + target->string());
    }
    return {};
}

} // namespace host
