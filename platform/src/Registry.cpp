// The registry's Win32 functions over the store. Open keys are heap objects known to a
// table, so a closed or forged handle is refused instead of read; the predefined roots
// are the constants of platform/Registry.h.

#include "Internal.h"
#include "RegistrySecurity.h"
#include "RegistryStore.h"

#include <platform/Registry.h>

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

using platform::detail::KeyRef;
using platform::detail::RegistryStore;

struct OpenKey {
    KeyRef ref;
};

std::mutex g_handleMutex; // guards g_handles
std::unordered_set<HKEY> g_handles;

RegistryStore& store()
{
    return RegistryStore::instance();
}

template <typename F> LONG guarded(F body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_INVALID_FUNCTION;
    }
}

bool isPredefined(HKEY key)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    return value >= 0x80000000 && value <= 0x80000003;
}

// The key behind a handle. HKEY_CLASSES_ROOT is HKLM\Software\Classes; writers bring it
// back when it was deleted.
LONG resolve(HKEY key, KeyRef& out, bool forWrite = false)
{
    using namespace platform::detail;
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS) {
        out.id = key == HKEY_LOCAL_MACHINE  ? kLocalMachineId
                 : key == HKEY_CURRENT_USER ? kCurrentUserId
                                            : kUsersId;
        out.access = kAllRights;
        return ERROR_SUCCESS;
    }
    if (key == HKEY_CLASSES_ROOT) {
        const KeyRef machine{kLocalMachineId, kAllRights};
        LONG rc = store().openKey(machine, kClassesPath, kMaximumAllowed, out);
        if (rc == ERROR_FILE_NOT_FOUND && forWrite) {
            rc = store().createKey(machine, kClassesPath, kMaximumAllowed, nullptr, out, nullptr);
        }
        return rc;
    }
    std::lock_guard lock(g_handleMutex);
    if (auto it = g_handles.find(key); it != g_handles.end()) {
        out = reinterpret_cast<const OpenKey*>(key)->ref;
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

HKEY newHandle(const KeyRef& ref)
{
    auto* open = new OpenKey{ref};
    HKEY key = reinterpret_cast<HKEY>(open);
    try {
        std::lock_guard lock(g_handleMutex);
        g_handles.insert(key);
    } catch (...) {
        delete open;
        throw;
    }
    return key;
}

const char* orEmpty(LPCSTR text)
{
    return text != nullptr ? text : "";
}

LONG emptyClass(LPSTR className, LPDWORD classLength)
{
    if (className != nullptr && classLength != nullptr) {
        if (*classLength < 1) {
            return ERROR_MORE_DATA;
        }
        className[0] = '\0';
    }
    if (classLength != nullptr) {
        *classLength = 0;
    }
    return ERROR_SUCCESS;
}

} // namespace

LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                    LPDWORD disposition) noexcept
{
    return guarded([&] {
        if (result == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyRef base;
        KeyRef opened;
        LONG rc = resolve(key, base, true);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        // Most calls find the key already there: that needs no write transaction. Inside
        // a batch the cache cannot see the batch's own changes, so the write path decides.
        rc = store().batchOnThisThread() ? ERROR_FILE_NOT_FOUND
                                         : store().openKey(base, orEmpty(subKey), access, opened);
        if (rc == ERROR_SUCCESS && disposition != nullptr) {
            *disposition = REG_OPENED_EXISTING_KEY;
        }
        if (rc == ERROR_FILE_NOT_FOUND) {
            const void* sd = security != nullptr ? security->lpSecurityDescriptor : nullptr;
            rc = store().createKey(base, orEmpty(subKey), access, sd, opened, disposition);
        }
        if (rc == ERROR_SUCCESS) {
            *result = newHandle(opened);
        }
        return rc;
    });
}

LONG RegCreateKey(HKEY key, LPCSTR subKey, PHKEY result) noexcept
{
    return RegCreateKeyEx(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          platform::detail::kMaximumAllowed, nullptr, result, nullptr);
}

LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) noexcept
{
    return guarded([&] {
        if (result == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyRef base;
        KeyRef opened;
        LONG rc = resolve(key, base);
        if (rc == ERROR_SUCCESS) {
            rc = store().openKey(base, orEmpty(subKey), access, opened);
        }
        if (rc == ERROR_SUCCESS) {
            *result = newHandle(opened);
        }
        return rc;
    });
}

LONG RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result) noexcept
{
    return RegOpenKeyEx(key, subKey, 0, platform::detail::kMaximumAllowed, result);
}

LONG RegCloseKey(HKEY key) noexcept
{
    if (isPredefined(key)) {
        return ERROR_SUCCESS;
    }
    {
        std::lock_guard lock(g_handleMutex);
        if (g_handles.erase(key) == 0) {
            return ERROR_INVALID_HANDLE;
        }
    }
    delete reinterpret_cast<OpenKey*>(key);
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                     LPDWORD dataSize) noexcept
{
    return guarded([&] {
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS ? rc
                                   : store().queryValue(ref, orEmpty(name), type, data, dataSize);
    });
}

LONG RegSetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD dataSize) noexcept
{
    return guarded([&] {
        if (data == nullptr && dataSize != 0) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyRef ref;
        const LONG rc = resolve(key, ref, true);
        const std::string_view bytes(reinterpret_cast<const char*>(data), data ? dataSize : 0);
        return rc != ERROR_SUCCESS ? rc : store().setValue(ref, orEmpty(name), type, bytes);
    });
}

LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                  LPDWORD type, LPBYTE data, LPDWORD dataSize) noexcept
{
    return guarded([&] {
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS
                   ? rc
                   : store().enumValue(ref, index, name, nameLength, type, data, dataSize);
    });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                  LPSTR className, LPDWORD classLength, PFILETIME lastWrite) noexcept
{
    return guarded([&] {
        KeyRef ref;
        LONG rc = resolve(key, ref);
        if (rc == ERROR_SUCCESS) {
            rc = store().enumKey(ref, index, name, nameLength, lastWrite);
        }
        return rc == ERROR_SUCCESS ? emptyClass(className, classLength) : rc;
    });
}

LONG RegEnumKey(HKEY key, DWORD index, LPSTR name, DWORD nameSize) noexcept
{
    DWORD length = nameSize;
    return RegEnumKeyEx(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

LONG RegQueryInfoKey(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved,
                     LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                     LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                     LPDWORD securityDescriptorLength, PFILETIME lastWrite) noexcept
{
    return guarded([&] {
        KeyRef ref;
        platform::detail::KeyInfo info;
        LONG rc = resolve(key, ref);
        if (rc == ERROR_SUCCESS) {
            rc = store().queryInfo(ref, info);
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        auto put = [](LPDWORD out, DWORD value) {
            if (out != nullptr) {
                *out = value;
            }
        };
        put(subKeys, info.subKeys);
        put(maxSubKeyLength, info.maxSubKeyLength);
        put(maxClassLength, 0);
        put(values, info.values);
        put(maxValueNameLength, info.maxValueNameLength);
        put(maxValueLength, info.maxValueLength);
        put(securityDescriptorLength, info.securityLength);
        if (lastWrite != nullptr) {
            *lastWrite = info.lastWrite;
        }
        return emptyClass(className, classLength);
    });
}

LONG RegDeleteValue(HKEY key, LPCSTR name) noexcept
{
    return guarded([&] {
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS ? rc : store().deleteValue(ref, orEmpty(name));
    });
}

LONG RegDeleteKey(HKEY key, LPCSTR subKey) noexcept
{
    return guarded([&] {
        if (subKey == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS ? rc : store().deleteKey(ref, subKey, false);
    });
}

LONG RegFlushKey(HKEY key) noexcept
{
    // Every write is committed before its call returns: there is nothing left to flush.
    KeyRef ref;
    return guarded([&] { return resolve(key, ref); });
}

LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor,
                       LPDWORD descriptorSize) noexcept
{
    return guarded([&] {
        if (descriptorSize == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyRef ref;
        std::string bytes;
        LONG rc = resolve(key, ref);
        if (rc == ERROR_SUCCESS) {
            rc = store().getSecurity(ref, info, bytes);
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        const DWORD needed = static_cast<DWORD>(bytes.size());
        if (descriptor == nullptr || *descriptorSize < needed) {
            *descriptorSize = needed;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        std::memcpy(descriptor, bytes.data(), bytes.size());
        *descriptorSize = needed;
        return ERROR_SUCCESS;
    });
}

LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION info,
                       PSECURITY_DESCRIPTOR descriptor) noexcept
{
    return guarded([&] {
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS ? rc : store().setSecurity(ref, info, descriptor);
    });
}

DWORD SHDeleteKey(HKEY key, LPCSTR subKey) noexcept
{
    return static_cast<DWORD>(guarded([&] {
        KeyRef ref;
        const LONG rc = resolve(key, ref);
        return rc != ERROR_SUCCESS ? rc : store().deleteKey(ref, orEmpty(subKey), true);
    }));
}

DWORD SHDeleteValue(HKEY key, LPCSTR subKey, LPCSTR value) noexcept
{
    HKEY opened = nullptr;
    LONG rc = RegOpenKeyEx(key, subKey, 0, KEY_SET_VALUE, &opened);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteValue(opened, value);
        RegCloseKey(opened);
    }
    return static_cast<DWORD>(rc);
}

namespace platform::registry {

std::string storeError()
{
    return RegistryStore::instance().storeError();
}

std::uint64_t changeCounter()
{
    return RegistryStore::instance().changeCounter();
}

std::optional<ChangeStamp> changeStamp()
{
    RegistryStore& store = RegistryStore::instance();
    const std::uint64_t generation = store.generation();
    std::uint64_t counter = 0;
    if (!store.openCounter(counter)) {
        return std::nullopt;
    }
    return ChangeStamp{generation, counter};
}

} // namespace platform::registry

namespace platform::detail {

void resetRegistryStore()
{
    RegistryStore::instance().reset();
}

} // namespace platform::detail
