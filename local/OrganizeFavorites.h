#pragma once
// The browser's Organize Favorites, as the Local page and the settings wizard open it:
// shdocvw.dll's DoOrganizeFavDlg on the favorites folder. Nothing when the library or its
// export is missing.

#include <platform/WinTypes.h>

namespace local {

void organizeFavorites(HWND owner);

} // namespace local
