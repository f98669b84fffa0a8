#include "LocalSettings.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <cstring>

namespace local {

const std::array<const char*, 16> KindSwitchNames = {
    values::local::TempInternetFiles, values::local::Cookies,        values::local::TypedUrls,
    values::local::AutoForms,         values::local::AutoPasswords,  values::local::Favorites,
    values::local::TempSystemFiles,   values::local::RecycleBin,     values::local::RunHistory,
    values::local::DocHistory,        values::local::LastLogonUser,  values::local::FindFiles,
    values::local::FindComputer,      values::local::NetConnections, values::local::Telnet,
    values::local::UrlHistory,
};

const std::array<const char*, 17> SwitchWriteOrder = {
    values::local::ClearAtExit,       values::local::UrlHistory, values::local::TypedUrls,
    values::local::TempInternetFiles, values::local::Cookies,    values::local::AutoForms,
    values::local::AutoPasswords,     values::local::Favorites,  values::local::TempSystemFiles,
    values::local::RecycleBin,        values::local::RunHistory, values::local::DocHistory,
    values::local::LastLogonUser,     values::local::FindFiles,  values::local::FindComputer,
    values::local::NetConnections,    values::local::Telnet,
};

void showRegistryError(HWND owner)
{
    MessageBox(owner, RegistryErrorText, ModuleCaption, MB_OK | MB_ICONERROR);
}

DWORD readSwitch(HKEY key, const char* name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return value;
}

LONG enumerateCustomFolders(HKEY customDirs, std::vector<std::string>& folders)
{
    return settings::enumerateEntries(customDirs, folders);
}

std::optional<CleanRequest> readFullRunRequest()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, ModuleKey, KEY_ALL_ACCESS);
    if (!key) {
        return std::nullopt;
    }
    CleanRequest request;
    for (std::size_t i = 0; i < KindSwitchNames.size(); ++i) {
        request.kinds[i] = readSwitch(key.get(), KindSwitchNames[i]) != 0;
    }
    settings::Key customDirs = settings::Key::open(key.get(), CustomDirsSubkey, KEY_ALL_ACCESS);
    if (!customDirs) {
        // A list that cannot be read counts as a failed enumeration.
        return std::nullopt;
    }
    request.kinds[CustomFoldersKind - 1] = readSwitch(customDirs.get(), nullptr) != 0;
    if (enumerateCustomFolders(customDirs.get(), request.customFolders) != ERROR_NO_MORE_ITEMS) {
        return std::nullopt;
    }
    return request;
}

bool registerModule(const char* modulePath)
{
    settings::Key dlls = settings::Key::create(HKEY_LOCAL_MACHINE, DllsKey);
    if (!dlls) {
        return false;
    }
    settings::Key key = settings::Key::create(dlls.get(), ModuleSubkey);
    if (!key) {
        return false;
    }
    key.writeString(PathNameValue, modulePath != nullptr ? modulePath : "");
    for (const char* name : SwitchWriteOrder) {
        key.writeDword(name, 0);
    }
    settings::Key customDirs = settings::Key::create(key.get(), CustomDirsSubkey);
    customDirs.writeDword(nullptr, 0);
    return true;
}

bool unregisterModule()
{
    settings::Key dlls = settings::Key::open(HKEY_LOCAL_MACHINE, DllsKey, KEY_ALL_ACCESS);
    if (!dlls) {
        return false;
    }
    return SHDeleteKey(dlls.get(), ModuleSubkey) == ERROR_SUCCESS;
}

} // namespace local
