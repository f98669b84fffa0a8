// The prefix folder and its layout.

#include "Internal.h"

#include <platform/Environment.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

std::mutex g_prefixMutex;
HostPath g_prefix; // empty until first use
bool g_prefixReady = false;

HostPath defaultPrefix()
{
    if (const char* env = std::getenv("UMBRAVIA_PREFIX"); env != nullptr && *env != '\0') {
        return fs::absolute(env);
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        if (const passwd* pw = getpwuid(getuid())) {
            home = pw->pw_dir;
        }
    }
    return HostPath(home != nullptr ? home : "/tmp") / ".local/share/umbravia";
}

} // namespace

std::string loginName()
{
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    if (const char* user = std::getenv("USER")) {
        return user;
    }
    return "user";
}

HostPath profileFolder()
{
    return prefix() / "drive_c" / "Documents and Settings" / loginName();
}

// Creates drive C: and the profile folders (once per prefix and process).
static void createLayout(const HostPath& root)
{
    std::error_code ec;
    const HostPath c = root / "drive_c";
    const HostPath profile = c / "Documents and Settings" / loginName();
    for (const HostPath& dir :
         {c / "WINDOWS" / "system32", c / "WINDOWS" / "History", c / "WINDOWS" / "Temp",
          c / "Program Files", profile / "Application Data", profile / "Cookies",
          profile / "Favorites", profile / "History", profile / "Recent", profile / "NetHood",
          profile / "Local Settings" / "Temp",
          profile / "Local Settings" / "Temporary Internet Files", root / "run"}) {
        fs::create_directories(dir, ec);
    }
}

const HostPath& prefix()
{
    std::lock_guard lock(g_prefixMutex);
    if (!g_prefixReady) {
        g_prefix = defaultPrefix();
        createLayout(g_prefix);
        g_prefixReady = true;
    }
    return g_prefix;
}

void setPrefix(const HostPath& folder)
{
    detail::resetRegistryStore();
    detail::resetEnvironmentCaches();
    std::lock_guard lock(g_prefixMutex);
    g_prefix = fs::absolute(folder);
    ::setenv("UMBRAVIA_PREFIX", g_prefix.c_str(), 1);
    createLayout(g_prefix);
    g_prefixReady = true;
}

HostPath runFolder()
{
    return prefix() / "run";
}

} // namespace platform
