#pragma once
// Modules: LoadLibrary/GetProcAddress/FreeLibrary over dlopen. A bare file name is looked
// up in the program folder, then the current folder, then C:\WINDOWS\system32 (names
// matched without regard to case); a path is taken as a DOS path. A module may export
// DllMain: it is called with DLL_PROCESS_ATTACH on the first load of the module and
// with DLL_PROCESS_DETACH when the last reference goes; a FALSE attach fails the load
// (ERROR_DLL_INIT_FAILED), after a DLL_PROCESS_DETACH call as on Windows, and unloads
// the module again. Loading the same file again (by any name) returns the same handle.
// Modules still loaded when the process ends get no detach call. Thread-safe; DllMain
// runs under the module lock, so it may load and free modules itself.

#include <platform/WinTypes.h>

#include <string>

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);

HMODULE LoadLibrary(LPCSTR fileName) noexcept;
FARPROC GetProcAddress(HMODULE module, LPCSTR name) noexcept;
BOOL FreeLibrary(HMODULE module) noexcept;
// module null: the running program. Writes a DOS path.
DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size) noexcept;

// Exports of the suite's modules: C linkage, visible, never throwing.
#define UMBRAVIA_EXPORT extern "C" __attribute__((visibility("default")))

namespace platform {

// Why the last LoadLibrary on this thread failed (dlerror text or the search that was
// made), for messages and tests.
std::string lastModuleError();

// The DOS path of the module file that holds address (a function or object of the
// module), as in-process servers register themselves; empty when unknown.
std::string modulePathOf(const void* address);

// The version information a module carries (a version resource on Windows), reached
// through its export `const platform::ModuleVersionInfo* DllGetVersionInfo() noexcept`.
struct ModuleVersionInfo {
    DWORD structSize; // sizeof(ModuleVersionInfo)
    const char* fileDescription;
    WORD fileVersion[4];
    WORD productVersion[4];
    const char* internalName;
    const char* originalFilename;
    const char* projectName; // string resource 100 of a COM server
    bool oleSelfRegister;    // the module registers itself (DllRegisterServer)
};
using DllGetVersionInfoFn = const ModuleVersionInfo* (*)();

// Typed lookup: proc<int (*)(const char*)>(module, "RegisterDLL").
template <typename Fn> Fn proc(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(::GetProcAddress(module, name));
}

} // namespace platform
