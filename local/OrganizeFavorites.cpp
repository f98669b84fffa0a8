#include "OrganizeFavorites.h"

#include <platform/Environment.h>
#include <platform/Modules.h>

namespace local {

namespace {

constexpr const char* FavoritesLibrary = "shdocvw.dll";
constexpr const char* OrganizeFavoritesExport = "DoOrganizeFavDlg";
using DoOrganizeFavDlgFn = BOOL (*)(HWND, LPSTR);

} // namespace

void organizeFavorites(HWND owner)
{
    HMODULE library = LoadLibrary(FavoritesLibrary);
    if (library == nullptr) {
        return;
    }
    if (auto organize = platform::proc<DoOrganizeFavDlgFn>(library, OrganizeFavoritesExport)) {
        char favorites[MAX_PATH] = {};
        if (SHGetSpecialFolderPath(owner, favorites, CSIDL_FAVORITES, TRUE)) {
            organize(owner, favorites);
        }
    }
    FreeLibrary(library);
}

} // namespace local
