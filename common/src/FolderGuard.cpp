#include <common/FolderGuard.h>
#include <platform/Environment.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace folders {

bool isProtectedFolder(const std::string& folder)
{
    namespace fs = std::filesystem;
    auto host = platform::toHostPath(folder);
    if (!host) {
        return false;
    }
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(*host, ec);
    if (ec) {
        return true;
    }
    std::vector<fs::path> guarded = {fs::path("/"), platform::prefix(),
                                     platform::prefix() / "drive_c", platform::profileFolder()};
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        guarded.emplace_back(home);
    }
    for (const fs::path& path : guarded) {
        const fs::path canonical = fs::weakly_canonical(path, ec);
        if (ec) {
            continue;
        }
        // The folder itself, or one that holds it.
        auto rel = canonical.lexically_relative(target);
        if (!rel.empty() && *rel.begin() != "..") {
            return true;
        }
    }
    return false;
}

} // namespace folders
