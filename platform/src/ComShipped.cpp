// The classes the layer ships, as Windows ships them with the system: the browser's URL
// history store lives in UrlHistory.dll beside the layer's own library and is
// registered in each prefix the first time a thread initialises COM there.

#include "ComShipped.h"

#include <platform/Environment.h>
#include <platform/Modules.h>
#include <platform/Registrar.h>
#include <platform/Registry.h>

#include <filesystem>
#include <mutex>

namespace platform::detail {
namespace {

constexpr const char* kHistoryServerKey =
    "CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32";

constexpr const char* kHistoryScript = R"(
HKCR
{
    NoRemove CLSID
    {
        ForceRemove {3C374A40-BAE4-11CF-BF7D-00AA006946EE} = s 'URL History Store'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
        }
    }
}
)";

std::mutex g_shippedMutex;
HostPath g_registeredPrefix;

std::string registeredServer()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, kHistoryServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    char data[MAX_PATH * 4] = {};
    DWORD size = sizeof data - 1;
    const LONG rc =
        RegQueryValueEx(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(data) : std::string();
}

} // namespace

void registerShippedClasses() noexcept
{
    try {
        std::lock_guard lock(g_shippedMutex);
        const HostPath current = prefix();
        if (current == g_registeredPrefix) {
            return;
        }
        // The module sits beside this library (the install folder).
        const std::string library =
            modulePathOf(reinterpret_cast<const void*>(&registerShippedClasses));
        const Result<HostPath> libraryHost = toHostPath(library);
        if (!libraryHost) {
            return;
        }
        const HostPath server = libraryHost.value().parent_path() / "UrlHistory.dll";
        std::error_code ec;
        if (!std::filesystem::exists(server, ec)) {
            return; // not built: the class stays unregistered, activation says so
        }
        const std::string serverDos = toDosPath(server).str();
        if (registeredServer() != serverDos &&
            updateRegistryFromScript(kHistoryScript, {{"MODULE", serverDos}}, true) != S_OK) {
            return;
        }
        g_registeredPrefix = current;
    } catch (...) {
        // Registration is retried on the next initialisation.
    }
}

} // namespace platform::detail
