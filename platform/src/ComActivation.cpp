// Apartments and in-process activation: CoInitialize and friends, CoGetClassObject over
// HKCR\CLSID\{...}\InprocServer32, CoCreateInstance and unloading of idle servers.

#include "ComShipped.h"

#include <platform/Com.h>
#include <platform/Modules.h>
#include <platform/Registry.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {

// This thread's apartment: how often it was entered and with which model.
thread_local int t_initCount = 0;
thread_local DWORD t_model = COINIT_APARTMENTTHREADED;

// Threads that have COM initialised, process-wide: the last one out unloads idle servers.
std::atomic<int> g_initialisedThreads{0};

// Servers loaded by activation, each held by one LoadLibrary reference until it may unload,
// and the activations under way: while one runs, no server is unloaded, since the module
// it is about to call may not have counted the new reference yet.
std::mutex g_serverMutex;
std::vector<HMODULE> g_servers; // guarded by g_serverMutex
int g_activations = 0;          // guarded by g_serverMutex

class ActivationInProgress {
public:
    ActivationInProgress()
    {
        std::lock_guard lock(g_serverMutex);
        ++g_activations;
    }
    ~ActivationInProgress()
    {
        std::lock_guard lock(g_serverMutex);
        --g_activations;
    }
    ActivationInProgress(const ActivationInProgress&) = delete;
    ActivationInProgress& operator=(const ActivationInProgress&) = delete;
};

void unloadIdleServers()
{
    std::vector<HMODULE> idle;
    {
        std::lock_guard lock(g_serverMutex);
        if (g_activations > 0) {
            return; // the next call tries again
        }
        for (auto it = g_servers.begin(); it != g_servers.end();) {
            auto canUnload = platform::proc<DllCanUnloadNowFn>(*it, "DllCanUnloadNow");
            // A server without DllCanUnloadNow stays, as on Windows.
            if (canUnload != nullptr && canUnload() == S_OK) {
                idle.push_back(*it);
                it = g_servers.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Outside the lock: a server's DllMain may use COM itself.
    for (HMODULE module : idle) {
        FreeLibrary(module);
    }
}

// Loads the server module once per process; later activations reuse it.
HMODULE loadServer(const std::string& path)
{
    HMODULE module = LoadLibrary(path.c_str());
    if (module == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(g_serverMutex);
    if (std::find(g_servers.begin(), g_servers.end(), module) != g_servers.end()) {
        FreeLibrary(module); // already held: keep one reference only
    } else {
        g_servers.push_back(module);
    }
    return module;
}

// The InprocServer32 default value of clsid, or nothing when the class is not registered.
std::optional<std::string> serverPath(REFCLSID clsid)
{
    const std::string subKey = "CLSID\\" + platform::guidToString(clsid) + "\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string data(MAX_PATH * 4, '\0');
    DWORD size = static_cast<DWORD>(data.size() - 1);
    DWORD type = 0;
    const LONG rc =
        RegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    data.resize(std::min<std::size_t>(size, data.size()));
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    // A path registered with quotes around it is taken without them.
    if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
        data = data.substr(1, data.size() - 2);
    }
    if (data.empty()) {
        return std::nullopt;
    }
    return data;
}

} // namespace

HRESULT CoInitializeEx(LPVOID, DWORD coInit) noexcept
{
    const DWORD model =
        (coInit & COINIT_APARTMENTTHREADED) != 0 ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    if (t_initCount > 0 && model != t_model) {
        return RPC_E_CHANGED_MODE;
    }
    if (t_initCount == 0) {
        t_model = model;
        g_initialisedThreads.fetch_add(1);
        platform::detail::registerShippedClasses();
    }
    return ++t_initCount == 1 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) noexcept
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

HRESULT OleInitialize(LPVOID reserved) noexcept
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() noexcept
{
    if (t_initCount == 0) {
        return;
    }
    if (--t_initCount == 0 && g_initialisedThreads.fetch_sub(1) == 1) {
        // Windows unloads every server here; servers still in use stay loaded, so that
        // objects a caller forgot to release do not point into an unloaded module.
        unloadIdleServers();
    }
}

void OleUninitialize() noexcept
{
    CoUninitialize();
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID, REFIID riid,
                         LPVOID* object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (t_initCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG; // only in-process servers exist here
    }
    try {
        const ActivationInProgress activation;
        const std::optional<std::string> path = serverPath(clsid);
        if (!path) {
            return REGDB_E_CLASSNOTREG;
        }
        HMODULE module = loadServer(*path);
        if (module == nullptr) {
            return CO_E_DLLNOTFOUND;
        }
        auto getClassObject = platform::proc<DllGetClassObjectFn>(module, "DllGetClassObject");
        if (getClassObject == nullptr) {
            return CO_E_ERRORINDLL;
        }
        return getClassObject(clsid, riid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         LPVOID* object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    // An aggregated object hands its outer object the inner IUnknown, nothing else.
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(outer, riid, object);
    factory->Release();
    if (FAILED(hr)) {
        *object = nullptr;
    }
    return hr;
}

void CoFreeUnusedLibraries() noexcept
{
    unloadIdleServers();
}
