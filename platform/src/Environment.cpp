// The Windows view of the environment folder: special folders, system folders, the
// user name, the command line and the version query.

#include "Internal.h"
#include "PathResolver.h"

#include <platform/Environment.h>
#include <platform/Text.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

// Guards g_commandLine and g_programPath.
std::mutex g_processMutex;
std::string g_commandLine;
DosPath g_programPath;

// 0: follow UMBRAVIA_WINVER, 1: 9x asked for by a test.
std::atomic<int> g_versionOverride{0};

struct SpecialFolder {
    int csidl;
    const char* profileSubfolder;
};

// The profile folders the suite asks for by CSIDL.
constexpr SpecialFolder k_specialFolders[] = {
    {CSIDL_FAVORITES, "Favorites"},
    {CSIDL_RECENT, "Recent"},
    {CSIDL_NETHOOD, "NetHood"},
    {CSIDL_APPDATA, "Application Data"},
    {CSIDL_INTERNET_CACHE, "Local Settings\\Temporary Internet Files"},
    {CSIDL_COOKIES, "Cookies"},
    {CSIDL_HISTORY, "History"},
};

std::string profileDosPath()
{
    return "C:\\Documents and Settings\\" + loginName();
}

// Arguments with blanks (or empty ones) are quoted, as a Windows command line has them.
std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string buildCommandLine(const DosPath& program, int argc, char** argv)
{
    std::string line = "\"" + program.str() + "\"";
    for (int i = 1; i < argc; ++i) {
        line += ' ';
        line += quoteArgument(argv[i] != nullptr ? argv[i] : "");
    }
    return line;
}

// A program that never called SetProcessArguments still has a command line:
// /proc/self/cmdline, with /proc/self/exe as the program.
void fillFromProc()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) {
        args.push_back(arg);
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    std::error_code ec;
    g_programPath = toDosPath(fs::read_symlink("/proc/self/exe", ec));
    g_commandLine = buildCommandLine(g_programPath, static_cast<int>(argv.size()), argv.data());
}

bool win9x()
{
    if (g_versionOverride.load() == 1) {
        return true;
    }
    const char* env = std::getenv("UMBRAVIA_WINVER");
    return env != nullptr && text::equalsNoCase(env, "9x");
}

} // namespace

DosPath programPathFromArgv0(const char* argv0)
{
    std::error_code ec;
    if (argv0 == nullptr || *argv0 == '\0') {
        return toDosPath(fs::read_symlink("/proc/self/exe", ec));
    }
    HostPath given(argv0);
    HostPath absolute = fs::absolute(given, ec).lexically_normal();
    // A bare name that does not lie in the current directory was found through PATH:
    // then the running executable is the truthful answer.
    if (std::strchr(argv0, '/') == nullptr && !fs::exists(absolute, ec)) {
        absolute = fs::read_symlink("/proc/self/exe", ec);
    }
    return toDosPath(absolute);
}

HostPath programFolder()
{
    std::error_code ec;
    HostPath exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

void setVersionPlatformForTests(bool win9xPlatform)
{
    g_versionOverride = win9xPlatform ? 1 : 0;
}

namespace detail {

// A prefix is one machine: a new one starts with the version the environment gives.
void resetEnvironmentCaches()
{
    g_versionOverride = 0;
    resetPathCaches();
}

DosPath programDosPath()
{
    std::lock_guard lock(g_processMutex);
    if (g_commandLine.empty()) {
        fillFromProc();
    }
    return g_programPath;
}

} // namespace detail

} // namespace platform

BOOL SHGetSpecialFolderPath(HWND, LPSTR path, int csidl, BOOL create) noexcept
{
    using namespace platform;
    try {
        const SpecialFolder* folder = nullptr;
        for (const SpecialFolder& f : k_specialFolders) {
            if (f.csidl == csidl) {
                folder = &f;
            }
        }
        if (folder == nullptr || path == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::string dos = profileDosPath() + "\\" + folder->profileSubfolder;
        Result<HostPath> host = toHostPath(dos);
        if (!host) {
            return detail::failWith(host.error());
        }
        std::error_code ec;
        if (!fs::is_directory(*host, ec)) {
            if (!create) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return FALSE;
            }
            fs::create_directories(*host, ec);
            if (ec) {
                return detail::failWithErrno(ec.value(), *host);
            }
        }
        if (dos.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        std::memcpy(path, dos.c_str(), dos.size() + 1);
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

UINT GetWindowsDirectory(LPSTR buffer, UINT size) noexcept
{
    return platform::detail::copyOut("C:\\WINDOWS", buffer, size);
}

UINT GetSystemDirectory(LPSTR buffer, UINT size) noexcept
{
    return platform::detail::copyOut("C:\\WINDOWS\\system32", buffer, size);
}

DWORD GetTempPath(DWORD size, LPSTR buffer) noexcept
{
    try {
        return platform::detail::copyOut(platform::profileDosPath() + "\\Local Settings\\Temp\\",
                                         buffer, size);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL GetUserName(LPSTR buffer, LPDWORD size) noexcept
{
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        std::string name = platform::loginName();
        if (buffer == nullptr || *size < name.size() + 1) {
            *size = static_cast<DWORD>(name.size() + 1);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        *size = static_cast<DWORD>(name.size() + 1);
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

LPCSTR GetCommandLine() noexcept
{
    using namespace platform;
    try {
        std::lock_guard lock(g_processMutex);
        if (g_commandLine.empty()) {
            fillFromProc();
        }
        // The text stays put until the next SetProcessArguments, which programs call
        // once, before anything reads the command line.
        return g_commandLine.c_str();
    } catch (...) {
        return "";
    }
}

void SetProcessArguments(int argc, char** argv) noexcept
{
    using namespace platform;
    try {
        DosPath program = programPathFromArgv0(argc > 0 ? argv[0] : nullptr);
        std::string line = buildCommandLine(program, argc, argv);
        std::lock_guard lock(g_processMutex);
        g_programPath = program;
        g_commandLine = line;
    } catch (...) {
        // Out of memory at start-up: GetCommandLine falls back to /proc.
    }
}

BOOL GetVersionEx(OSVERSIONINFO* info) noexcept
{
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFO)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0,
                sizeof(OSVERSIONINFO) - sizeof(DWORD));
    if (platform::win9x()) {
        // Windows 98 Second Edition.
        info->dwMajorVersion = 4;
        info->dwMinorVersion = 10;
        info->dwBuildNumber = 0x040A08AE;
        info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        std::strcpy(info->szCSDVersion, " A ");
    } else {
        // Windows XP with Service Pack 2.
        info->dwMajorVersion = 5;
        info->dwMinorVersion = 1;
        info->dwBuildNumber = 2600;
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
        std::strcpy(info->szCSDVersion, "Service Pack 2");
    }
    return TRUE;
}
