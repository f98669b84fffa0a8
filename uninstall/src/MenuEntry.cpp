#include "MenuEntry.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace uninstall {

namespace fs = std::filesystem;

namespace {

constexpr const char* EntryName = "umbravia.desktop";
constexpr const char* IconName = "umbravia.png";
// What marks the entry as the one the script wrote.
constexpr const char* ProgramName = "Umbravia.exe";

bool removeIfThere(const fs::path& file)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(file, error)) &&
        !fs::is_regular_file(fs::symlink_status(file, error))) {
        return true; // nothing there, or a folder that is not ours to remove
    }
    return fs::remove(file, error) || !error;
}

bool startsUmbravia(const fs::path& entry)
{
    std::ifstream in(entry, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return text.find(ProgramName) != std::string::npos;
}

} // namespace

fs::path MenuEntry::dataHome()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return data;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return fs::path(home) / ".local" / "share";
    }
    return {};
}

fs::path MenuEntry::entryPath()
{
    const fs::path data = dataHome();
    return data.empty() ? fs::path() : data / "applications" / EntryName;
}

bool MenuEntry::remove()
{
    const fs::path data = dataHome();
    if (data.empty()) {
        return true;
    }
    bool removed = true;
    const fs::path entry = entryPath();
    std::error_code error;
    if (fs::exists(fs::symlink_status(entry, error)) && startsUmbravia(entry)) {
        removed = removeIfThere(entry);
    }
    const fs::path theme = data / "icons" / "hicolor";
    if (!fs::is_directory(theme, error)) {
        return removed;
    }
    for (const fs::directory_entry& size : fs::directory_iterator(theme, error)) {
        if (size.is_directory(error) && !size.is_symlink(error)) {
            removed = removeIfThere(size.path() / "apps" / IconName) && removed;
        }
    }
    return removed;
}

} // namespace uninstall
