#pragma once
// The process's kernel-object handles. Files, find searches, events, mappings, snapshots
// and the like all live behind one HANDLE type and one CloseHandle: each kind derives
// from KernelObject and is registered here. Handles are small numbers, never pointers,
// so that a stale or forged handle is refused (ERROR_INVALID_HANDLE) instead of touching
// freed memory.

#include <platform/WinTypes.h>

#include <memory>

namespace platform::detail {

enum class HandleKind {
    File,
    Find,
    Event,
    Mutex,
    Semaphore,
    Mapping,
    Process,
    Thread,
    Snapshot,
    Token,
    Other,
};

class KernelObject {
public:
    explicit KernelObject(HandleKind kind) : m_kind(kind) {}
    virtual ~KernelObject();
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    HandleKind kind() const { return m_kind; }

private:
    HandleKind m_kind;
};

// Registers the object and returns its new handle (never null, never
// INVALID_HANDLE_VALUE). The same object may be registered under several handles
// (DuplicateHandle): it lives until the last of them is closed and the last user lets go.
HANDLE registerHandle(std::shared_ptr<KernelObject> object);

// The object behind the handle, or null (GetLastError ERROR_INVALID_HANDLE) when the
// handle is unknown or of another kind. Callers keep the shared pointer while they use
// the object, so a CloseHandle on another thread cannot pull it away from under them.
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle, HandleKind kind);

template <typename T> std::shared_ptr<T> lookupHandleAs(HANDLE handle, HandleKind kind)
{
    return std::static_pointer_cast<T>(lookupHandle(handle, kind));
}

// Unregisters the handle (CloseHandle, FindClose): false, with ERROR_INVALID_HANDLE,
// when it is unknown (or not of the kind given).
bool releaseHandle(HANDLE handle);
bool releaseHandle(HANDLE handle, HandleKind kind);

} // namespace platform::detail
