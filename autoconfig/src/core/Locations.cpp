#include "core/Locations.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Files.h>
#include <platform/Registry.h>

namespace rigwright {

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD kMaxUninstallString = 260;

} // namespace

std::optional<std::string> uninstallString(const char* key)
{
    std::string path = std::string(kUninstallKey) + key;
    settings::Key uninstall = settings::Key::open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_ALL_ACCESS);
    return uninstall.readString("UninstallString", kMaxUninstallString);
}

namespace {

std::optional<std::string> cutAfterMarker(const char* key, std::string_view marker, bool strict)
{
    std::optional<std::string> text = uninstallString(key);
    if (!text) {
        return std::nullopt;
    }
    std::size_t at = marker.empty() ? std::string::npos : text->find(marker);
    if (at != std::string::npos) {
        text->resize(at + marker.size());
    } else if (strict) {
        return std::nullopt;
    } else if (marker.empty()) {
        text->clear(); // an empty marker occurs at the very start
    }
    return text;
}

} // namespace

std::optional<std::string> locateInstallFolder(const char* key, std::string_view marker)
{
    return cutAfterMarker(key, marker, false);
}

std::optional<std::string> locateInstallFolderStrict(const char* key, std::string_view marker)
{
    return cutAfterMarker(key, marker, true);
}

std::string applicationDataFolder()
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(0, path, CSIDL_APPDATA, FALSE)) {
        return {};
    }
    std::string folder(path);
    while (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

std::vector<std::string> listFolder(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATA data{};
    HANDLE find = FindFirstFile(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFile(find, &data));
    FindClose(find);
    return names;
}

WindowsPlatform windowsPlatform()
{
    OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionEx(&info)) {
        return WindowsPlatform::Unknown;
    }
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return WindowsPlatform::Windows9x;
    case VER_PLATFORM_WIN32_NT:
        return WindowsPlatform::NT;
    default:
        return WindowsPlatform::Unknown;
    }
}

} // namespace rigwright
