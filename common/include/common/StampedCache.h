#pragma once
// A value derived from registry reads, kept while the registry's change stamp stands
// still: every write, in any process, moves the stamp before it returns, so a caller
// still sees each change at its next call, and an unchanged registry costs one stamp
// check instead of the reads. A failed read is never kept: the next call reads again.
// Safe to share between threads.

#include <platform/Registry.h>

#include <mutex>
#include <optional>
#include <utility>

namespace settings {

template <typename T> class StampedCache {
public:
    // The kept value when nothing was written since it was read; otherwise read(), an
    // std::optional<T> that is empty when the reads failed.
    template <typename Read> std::optional<T> get(Read read)
    {
        // Taken before the reads: a change committed while they run leaves the stamp
        // behind the registry, so the next call reads again rather than keeping a stale
        // value. Without a stamp (the store cannot be opened) every call reads.
        const std::optional<platform::registry::ChangeStamp> stamp =
            platform::registry::changeStamp();
        if (stamp) {
            std::lock_guard guard(m_lock);
            if (m_value && m_stamp == stamp) {
                return m_value;
            }
        }
        std::optional<T> fresh = read();
        if (fresh && stamp) {
            std::lock_guard guard(m_lock);
            m_stamp = stamp;
            m_value = fresh;
        }
        return fresh;
    }

private:
    std::mutex m_lock; // guards both below
    std::optional<platform::registry::ChangeStamp> m_stamp;
    std::optional<T> m_value;
};

// One thread's own copy of a value with the stamp it was taken at, in front of a shared
// StampedCache: while the stamp stands still the thread uses its copy without the
// cache's lock, which connection threads asking at every chunk would otherwise pass
// between the processors. Kept as a thread_local by its user.
template <typename T> class ThreadCopy {
public:
    // The copy, or fetch() (an std::optional<T>, empty when the reads failed) when the
    // stamp moved since it was taken; null when that failed, and never kept then. The
    // stamp is taken before fetch(): a change made in between leaves the copy's stamp
    // behind, so the next call fetches again. Valid until the thread's next get().
    template <typename Fetch> const T* get(Fetch fetch)
    {
        const std::optional<platform::registry::ChangeStamp> stamp =
            platform::registry::changeStamp();
        if (!stamp || !m_value || m_stamp != stamp) {
            m_value = fetch();
            m_stamp = stamp;
        }
        return m_value ? &*m_value : nullptr;
    }

private:
    std::optional<platform::registry::ChangeStamp> m_stamp;
    std::optional<T> m_value;
};

} // namespace settings
