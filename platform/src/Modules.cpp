// Modules over dlopen, with the Windows search order for bare names, one reference
// count per module file and DllMain calls on the first load and the last unload.

#include "PathResolver.h"

#include <platform/Modules.h>

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

struct LoadedModule {
    void* dl = nullptr;
    dev_t device = 0;
    ino_t inode = 0;
    HostPath path;
    int references = 0;
    DllMainFn dllMain = nullptr;
};

// Guards g_modules. Recursive because a DllMain may load or free modules itself, as it
// may under the loader lock on Windows.
std::recursive_mutex g_moduleMutex;
std::vector<LoadedModule> g_modules;

thread_local std::string t_moduleError;

LoadedModule* findModule(void* dl)
{
    auto it = std::find_if(g_modules.begin(), g_modules.end(),
                           [dl](const LoadedModule& m) { return m.dl == dl; });
    return it == g_modules.end() ? nullptr : &*it;
}

void forgetModule(void* dl)
{
    g_modules.erase(std::remove_if(g_modules.begin(), g_modules.end(),
                                   [dl](const LoadedModule& m) { return m.dl == dl; }),
                    g_modules.end());
}

// A symbol of the module itself: dlsym also finds what the module's dependencies (the C
// library among them) export, which GetProcAddress must not hand out.
void* ownSymbol(void* dl, const char* name)
{
    void* symbol = ::dlsym(dl, name);
    if (symbol == nullptr) {
        return nullptr;
    }
    link_map* module = nullptr;
    link_map* owner = nullptr;
    Dl_info info{};
    if (::dlinfo(dl, RTLD_DI_LINKMAP, &module) != 0 ||
        ::dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) {
        return nullptr;
    }
    return owner == module ? symbol : nullptr;
}

bool isRegularFile(const HostPath& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file a bare module name stands for: program folder, current folder, system folder.
Result<HostPath> searchModule(std::string name)
{
    if (name.back() == '.') {
        name.pop_back(); // "name." means: no extension
    } else if (name.find('.') == std::string::npos) {
        name += ".dll";
    }
    std::error_code ec;
    std::vector<std::string> folders{toDosPath(programFolder()).str(),
                                     toDosPath(fs::current_path(ec)).str(),
                                     "C:\\WINDOWS\\system32"};
    std::string searched;
    for (const std::string& folder : folders) {
        std::string dos = folder + (folder.back() == '\\' ? "" : "\\") + name;
        Result<HostPath> host = detail::resolveDosPath(dos, detail::LastLink::Follow);
        if (host && isRegularFile(*host)) {
            return *host;
        }
        searched += (searched.empty() ? "" : ", ") + folder;
    }
    return makeError(ERROR_MOD_NOT_FOUND, name + " was not found in " + searched);
}

Result<HostPath> locateModule(const std::string& fileName)
{
    if (fileName.find_first_of("\\/:") == std::string::npos) {
        return searchModule(fileName);
    }
    Result<HostPath> host = detail::resolveDosPath(fileName, detail::LastLink::Follow);
    if (!host) {
        return host.error();
    }
    if (!isRegularFile(*host)) {
        return makeError(ERROR_MOD_NOT_FOUND, fileName + " does not exist");
    }
    return host;
}

bool callDllMain(const LoadedModule& module, DWORD reason)
{
    if (module.dllMain == nullptr) {
        return true;
    }
    try {
        return module.dllMain(reinterpret_cast<HINSTANCE>(module.dl), reason, nullptr) != FALSE;
    } catch (...) {
        return false; // an exception out of DllMain counts as a failed call
    }
}

HMODULE fail(LONG code, std::string reason)
{
    t_moduleError = std::move(reason);
    SetLastError(static_cast<DWORD>(code));
    return nullptr;
}

// Loads the file (or counts one more reference to it); called under g_moduleMutex.
HMODULE loadFile(const std::string& fileName, const HostPath& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return fail(ERROR_MOD_NOT_FOUND, fileName + " does not exist");
    }
    for (LoadedModule& module : g_modules) {
        if (module.device == st.st_dev && module.inode == st.st_ino) {
            ++module.references;
            return reinterpret_cast<HMODULE>(module.dl);
        }
    }
    void* dl = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl == nullptr) {
        const char* why = ::dlerror();
        return fail(ERROR_BAD_FORMAT, why != nullptr ? why : "cannot load " + path.string());
    }
    if (LoadedModule* known = findModule(dl)) { // the same file under another inode
        ::dlclose(dl);
        ++known->references;
        return reinterpret_cast<HMODULE>(dl);
    }
    LoadedModule module{dl,   st.st_dev, st.st_ino,
                        path, 1,         reinterpret_cast<DllMainFn>(ownSymbol(dl, "DllMain"))};
    g_modules.push_back(module);
    if (!callDllMain(module, DLL_PROCESS_ATTACH)) {
        // As on Windows: a refused attach is followed by the detach, then the unload.
        callDllMain(module, DLL_PROCESS_DETACH);
        forgetModule(dl);
        ::dlclose(dl);
        return fail(ERROR_DLL_INIT_FAILED, "DllMain of " + fileName + " failed");
    }
    return reinterpret_cast<HMODULE>(dl);
}

} // namespace

std::string lastModuleError()
{
    return t_moduleError;
}

} // namespace platform

HMODULE LoadLibrary(LPCSTR fileName) noexcept
{
    using namespace platform;
    try {
        t_moduleError.clear();
        if (fileName == nullptr || *fileName == '\0') {
            return fail(ERROR_INVALID_PARAMETER, "no module name");
        }
        Result<HostPath> path = locateModule(fileName);
        if (!path) {
            return fail(path.error().code, path.error().message);
        }
        std::lock_guard lock(g_moduleMutex);
        return loadFile(fileName, *path);
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY, "out of memory");
    }
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) noexcept
{
    using namespace platform;
    std::lock_guard lock(g_moduleMutex);
    if (findModule(module) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Names below 64 Ki are ordinals, which these modules do not have.
    if (reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = ownSymbol(module, name);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) noexcept
{
    using namespace platform;
    std::lock_guard lock(g_moduleMutex);
    LoadedModule* loaded = findModule(module);
    if (loaded == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--loaded->references > 0) {
        return TRUE;
    }
    LoadedModule last = *loaded;
    callDllMain(last, DLL_PROCESS_DETACH);
    forgetModule(last.dl);
    ::dlclose(last.dl);
    return TRUE;
}

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size) noexcept
{
    using namespace platform;
    try {
        std::string path;
        if (module == nullptr) {
            path = detail::programDosPath().str();
        } else {
            std::lock_guard lock(g_moduleMutex);
            LoadedModule* loaded = findModule(module);
            if (loaded == nullptr) {
                SetLastError(ERROR_MOD_NOT_FOUND);
                return 0;
            }
            path = toDosPath(loaded->path).str();
        }
        if (buffer == nullptr || size == 0) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        if (path.size() < size) {
            std::memcpy(buffer, path.c_str(), path.size() + 1);
            return static_cast<DWORD>(path.size());
        }
        // Cut to the buffer, but always terminated (Windows XP leaves it open-ended).
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

namespace platform {

std::string modulePathOf(const void* address)
{
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code ec;
    const HostPath path = fs::canonical(info.dli_fname, ec);
    return ec ? std::string() : toDosPath(path).str();
}

} // namespace platform
