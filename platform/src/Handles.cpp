// The handle table behind CloseHandle.

#include "Handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace platform::detail {

namespace {

// Guards g_handles and g_nextHandle.
std::mutex g_handleMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> g_handles;
// Multiples of four from 0x100, as Windows hands them out; never reused within a run,
// so a handle closed twice cannot hit an object opened in between.
std::uintptr_t g_nextHandle = 0x100;

std::uintptr_t key(HANDLE handle)
{
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

KernelObject::~KernelObject() = default;

HANDLE registerHandle(std::shared_ptr<KernelObject> object)
{
    std::lock_guard lock(g_handleMutex);
    std::uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle)
{
    {
        std::lock_guard lock(g_handleMutex);
        if (auto it = g_handles.find(key(handle)); it != g_handles.end()) {
            return it->second;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle, HandleKind kind)
{
    std::shared_ptr<KernelObject> object = lookupHandle(handle);
    if (object != nullptr && object->kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

bool releaseHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> doomed; // destroyed outside the lock
    {
        std::lock_guard lock(g_handleMutex);
        auto it = g_handles.find(key(handle));
        if (it != g_handles.end()) {
            doomed = std::move(it->second);
            g_handles.erase(it);
            return true;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

bool releaseHandle(HANDLE handle, HandleKind kind)
{
    std::shared_ptr<KernelObject> doomed;
    {
        std::lock_guard lock(g_handleMutex);
        auto it = g_handles.find(key(handle));
        if (it != g_handles.end() && it->second->kind() == kind) {
            doomed = std::move(it->second);
            g_handles.erase(it);
            return true;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace platform::detail

BOOL CloseHandle(HANDLE handle) noexcept
{
    return platform::detail::releaseHandle(handle) ? TRUE : FALSE;
}
