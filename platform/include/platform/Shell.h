#pragma once
// Shell functions that have a natural home on a Linux desktop.
//
// The recycle bin is the user's freedesktop.org trash: the home trash
// ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) and the trash folders of the
// mounted volumes ($topdir/.Trash/<uid> when $topdir/.Trash is a real folder with the
// sticky bit, and $topdir/.Trash-<uid>), each with its files/ and info/ folders.
// Emptying never follows a symbolic link: a link found in the trash is removed as a
// link, and a trash folder (or its files/ or info/) that is itself a link is left alone.

#include <platform/Environment.h>
#include <platform/WinTypes.h>

#include <vector>

constexpr DWORD SHERB_NOCONFIRMATION = 0x00000001;
constexpr DWORD SHERB_NOPROGRESSUI = 0x00000002;
constexpr DWORD SHERB_NOSOUND = 0x00000004;

// Empties the trash without asking (there is no dialog, sound or progress display, so
// the flags are accepted and change nothing). rootPath null or "": every trash of the
// user; otherwise the trashes that lie on the volume holding that DOS path. Returns 0
// (S_OK) when everything was removed, 0x80004005 (E_FAIL) when something stayed (an
// entry that could not be deleted, an unusable rootPath).
HRESULT SHEmptyRecycleBin(HWND owner, LPCSTR rootPath, DWORD flags) noexcept;

namespace platform {

// The trash folders SHEmptyRecycleBin considers, host form: the home trash first, then
// the volume trashes that exist, in mount-table order.
std::vector<HostPath> trashFolders();

// Tests: read the mount table from this file instead of /proc/mounts (same format);
// an empty path restores /proc/mounts. Keeps tests away from the real volumes.
void setMountTableForTests(const HostPath& file);

} // namespace platform
