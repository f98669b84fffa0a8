#include <desktop/Autostart.h>

namespace desktop {

std::filesystem::path autostartEntryPath()
{
    return {};
}

Result mirrorAutostart() noexcept
{
    return {Outcome::Failed, "The autostart entry is not built yet."};
}

} // namespace desktop
