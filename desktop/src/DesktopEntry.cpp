#include <desktop/DesktopEntry.h>

namespace desktop {

std::string DesktopEntry::text() const
{
    return {};
}

std::string execArgument(const std::string& argument)
{
    return argument;
}

Result writeDesktopEntry(const std::filesystem::path&, const DesktopEntry&) noexcept
{
    return {Outcome::Failed, "Desktop entries are not built yet."};
}

} // namespace desktop
