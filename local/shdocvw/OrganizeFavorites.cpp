// Stand-in for the system library shdocvw.dll, as far as the suite calls it: the
// browser's Organize Favorites dialog becomes the favorites folder opened in the
// desktop's file manager (xdg-open, or the program named by UMBRAVIA_OPEN_COMMAND).

#include <platform/Modules.h>
#include <platform/Processes.h>

// Returns TRUE when the file manager could be started.
UMBRAVIA_EXPORT BOOL DoOrganizeFavDlg(HWND owner, LPSTR favoritesFolder) noexcept
{
    if (favoritesFolder == nullptr || *favoritesFolder == '\0') {
        return FALSE;
    }
    HINSTANCE started = ShellExecute(owner, "open", favoritesFolder, nullptr, nullptr, 1);
    return reinterpret_cast<std::intptr_t>(started) > 32 ? TRUE : FALSE;
}
