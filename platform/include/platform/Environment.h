#pragma once
// The environment folder ($UMBRAVIA_PREFIX) and the Windows view of it: drive C:, the
// user's profile, special folders, DOS paths and the version query.

#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

using HostPath = std::filesystem::path;

// A path as the suite's code sees it ("C:\WINDOWS\system32", "Z:\opt\x\Umbravia.exe").
// Kept apart from HostPath so that the two cannot be mixed up.
class DosPath {
public:
    DosPath() = default;
    explicit DosPath(std::string text) : m_text(std::move(text)) {}
    const std::string& str() const { return m_text; }
    const char* c_str() const { return m_text.c_str(); }
    bool empty() const { return m_text.empty(); }
    bool operator==(const DosPath&) const = default;

private:
    std::string m_text;
};

// The prefix folder: UMBRAVIA_PREFIX, or ~/.local/share/umbravia. Created, with drive
// C: and the profile folders, on first use.
const HostPath& prefix();
// Points the layer at another prefix (tests): closes the registry store, forgets every
// cached state tied to the old prefix and sets UMBRAVIA_PREFIX for child processes.
void setPrefix(const HostPath& folder);
// Folder of the per-process run files (window table, message sockets, named objects).
HostPath runFolder();
// The login name (GetUserName) and the profile folder
// (drive_c/Documents and Settings/<login>), host form.
std::string loginName();
HostPath profileFolder();

// DOS path -> host path. C: is the prefix's drive_c, Z: is /. Both separators work.
// Each component is matched exactly first, then without regard to case; components
// that do not exist yet are kept as written. Relative paths ("name", "\name", "C:name")
// resolve against the current directory. "." and ".." are taken by the text, as
// Windows does, and ".." never climbs above the drive's root. A symbolic link inside
// drive C: is followed only when its target stays inside drive C:; otherwise the path
// is refused (ERROR_ACCESS_DENIED), so no C: path leads out of the prefix. Fails for
// other drives (ERROR_PATH_NOT_FOUND) and for names with characters Windows refuses
// (ERROR_INVALID_NAME).
Result<HostPath> toHostPath(std::string_view dosPath);
// Host path -> DOS path (inside drive_c: "C:\...", anywhere else: "Z:\...").
DosPath toDosPath(const HostPath& hostPath);

// The program's own path from argv[0], as an absolute DOS path (relative argv[0] is
// made absolute against the current directory first; a bare name that is not in the
// current directory was found through PATH, and then /proc/self/exe answers).
DosPath programPathFromArgv0(const char* argv0);
// Folder of the running executable (/proc/self/exe), host form.
HostPath programFolder();

// Version query: the NT platform unless UMBRAVIA_WINVER=9x (tests set it, children
// inherit it) or setVersionPlatformForTests asked for 9x.
void setVersionPlatformForTests(bool win9x);

} // namespace platform

// --- Win32 functions over the environment ---------------------------------------------

constexpr int CSIDL_FAVORITES = 6;
constexpr int CSIDL_RECENT = 8;
constexpr int CSIDL_NETHOOD = 19;
constexpr int CSIDL_APPDATA = 26;
constexpr int CSIDL_INTERNET_CACHE = 32;
constexpr int CSIDL_COOKIES = 33;
constexpr int CSIDL_HISTORY = 34;

// Writes the folder's DOS path into path (MAX_PATH bytes); create asks for the folder to
// be made when missing. FALSE for unknown CSIDLs.
BOOL SHGetSpecialFolderPath(HWND owner, LPSTR path, int csidl, BOOL create) noexcept;
UINT GetWindowsDirectory(LPSTR buffer, UINT size) noexcept;
UINT GetSystemDirectory(LPSTR buffer, UINT size) noexcept;
DWORD GetTempPath(DWORD size, LPSTR buffer) noexcept;  // ends with a backslash
BOOL GetUserName(LPSTR buffer, LPDWORD size) noexcept; // size in: buffer, out: incl. zero
DWORD GetCurrentDirectory(DWORD size, LPSTR buffer) noexcept;
BOOL SetCurrentDirectory(LPCSTR path) noexcept;
// The process command line as Windows gives it: the quoted program path, then the
// arguments separated by blanks.
LPCSTR GetCommandLine() noexcept;
// Records argv for GetCommandLine and GetModuleFileName(nullptr); every program calls it.
void SetProcessArguments(int argc, char** argv) noexcept;

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
BOOL GetVersionEx(OSVERSIONINFO* info) noexcept;
