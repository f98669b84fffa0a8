#pragma once
// Starting programs and the process snapshot, with Win32's names.
//
// Programs start detached (their own session; they outlive the caller and are never
// left as zombies). A program named "X.exe" (or "X", which means "X.exe") without a
// folder is looked up in the program folder, the current folder and C:\WINDOWS\system32
// of the prefix, names matched without regard to case; a path is a DOS path. Windows'
// own tools that the suite ships (RegEdit.exe, regsvr32.exe), named by a path into the
// prefix's C:\WINDOWS or C:\WINDOWS\system32 where no such file lies, are taken from
// the program folder, then from the folder UMBRAVIA_BIN names (tests). Documents,
// folders and web addresses are opened with xdg-open (or the program named by
// UMBRAVIA_OPEN_COMMAND). The show mode reaches the started program through
// UMBRAVIA_SHOWCMD (platform::startupShowCommand()).

#include <platform/Environment.h>
#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <string>
#include <string_view>
#include <vector>

// ShellExecute answers a value above 32 on success, else one of these.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_NOASSOC = 31;

// verb null or "open" (also "explore" for folders); others answer SE_ERR_NOASSOC.
HINSTANCE ShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                       int showCommand) noexcept;
// Above 31 on success; ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND / ERROR_BAD_FORMAT.
UINT WinExec(LPCSTR commandLine, UINT showCommand) noexcept;

constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD STILL_ACTIVE = 259;

struct STARTUPINFO {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFO = STARTUPINFO*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// applicationName may be null (the program is the first word of commandLine, unquoted
// words with blanks tried from the shortest, as Windows does). environment is not
// supported (must be null). hProcess is signalled when the program ends
// (WaitForSingleObject); both handles are closed with CloseHandle.
BOOL CreateProcess(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                   LPSECURITY_ATTRIBUTES thread, BOOL inheritHandles, DWORD creationFlags,
                   LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFO startupInfo,
                   LPPROCESS_INFORMATION processInformation) noexcept;
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) noexcept;
BOOL TerminateProcess(HANDLE process, UINT exitCode) noexcept;

// Process snapshot: szExeFile is the program's file name ("Umbravia.exe").
constexpr DWORD TH32CS_SNAPPROCESS = 0x2;

struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
};
using LPPROCESSENTRY32 = PROCESSENTRY32*;

// INVALID_HANDLE_VALUE on failure.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) noexcept;
// dwSize must be set by the caller; FALSE with ERROR_NO_MORE_FILES after the last one.
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) noexcept;
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) noexcept;

namespace platform {

// Splits a command line into words as Windows programs do (blanks separate, double
// quotes group, backslashes before a quote escape it).
std::vector<std::string> splitCommandLine(std::string_view commandLine);
// The host path of a program named as the suite names it (search order above).
Result<HostPath> findProgram(std::string_view name);
// The show mode the program was started with (SW_SHOWNORMAL when not started by the
// suite).
int startupShowCommand();
// Whether the process of a snapshot entry works in this process's prefix (its
// UMBRAVIA_PREFIX, or the default one). A prefix is one machine: a program of the same
// name running for another prefix is not running here. False when its environment
// cannot be read.
bool runsInThisPrefix(DWORD processId);

} // namespace platform
