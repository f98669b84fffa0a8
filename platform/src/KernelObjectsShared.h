#pragma once
// Pieces shared by the named objects of a prefix (events, sections, the window table):
// process identities that survive pid reuse, a structure mapped from a file in the run
// folder by every process of the prefix, and the robust process-shared lock over it.

#include "Handles.h"

#include <platform/Environment.h>
#include <platform/Result.h>

#include <pthread.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform::detail {

// A process as the run files name it: its pid and its start time (clock ticks since boot,
// /proc/<pid>/stat), so that a recycled pid is not taken for the process that died.
struct ProcessIdentity {
    std::int32_t pid = 0;
    std::uint64_t startTime = 0;
    bool operator==(const ProcessIdentity&) const = default;
};

// Start time of the process, 0 when it does not exist (or is a zombie).
std::uint64_t processStartTime(pid_t pid);
ProcessIdentity selfIdentity();
bool isAlive(const ProcessIdentity& process);

// Robust, process-shared primitives: a lock whose owner died is taken over (the state
// it guards is kept; every writer keeps it consistent at each step).
void initSharedMutex(pthread_mutex_t* mutex);
void initSharedCondition(pthread_cond_t* condition); // waits on CLOCK_MONOTONIC

class SharedLock {
public:
    explicit SharedLock(pthread_mutex_t* mutex);
    ~SharedLock();
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
    pthread_mutex_t* mutex() const { return m_mutex; }

private:
    pthread_mutex_t* m_mutex;
};

// Waits on the condition with the lock held: false on time-out. timeoutMs INFINITE waits
// without limit.
bool waitShared(pthread_cond_t* condition, SharedLock& lock, std::uint32_t timeoutMs);

// A fixed-size structure in a run-folder file, mapped shared. The creator initialises it
// before the file appears under its name (it is built under a temporary name and linked
// into place), so no process ever sees a half-made structure.
class SharedRegion {
public:
    ~SharedRegion();
    SharedRegion(const SharedRegion&) = delete;
    SharedRegion& operator=(const SharedRegion&) = delete;

    enum class Mode { OpenExisting, OpenOrCreate };
    // size is the least size: an existing file is mapped whole. created (optional) tells
    // whether this call made the file.
    static Result<std::unique_ptr<SharedRegion>> open(const HostPath& path, std::size_t size,
                                                      Mode mode,
                                                      const std::function<void(void*)>& init,
                                                      bool* created = nullptr);
    // Process-private memory with the same interface (unnamed objects).
    static std::unique_ptr<SharedRegion> anonymous(std::size_t size,
                                                   const std::function<void(void*)>& init);

    void* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    const HostPath& path() const { return m_path; }

private:
    SharedRegion(void* data, std::size_t size, HostPath path);
    void* m_data;
    std::size_t m_size;
    HostPath m_path;
};

// File name of a named object in the run folder: Windows names may hold any character
// (and "Global\" or "Local\" in front, which mean nothing within one prefix).
std::string objectFileName(std::string_view kindPrefix, std::string_view name);

// A kernel object WaitForSingleObject can wait on (events, processes).
class WaitableObject : public KernelObject {
public:
    using KernelObject::KernelObject;
    // True when the object was signalled within the time (INFINITE: no limit).
    virtual bool wait(std::uint32_t timeoutMs) = 0;
};

} // namespace platform::detail
