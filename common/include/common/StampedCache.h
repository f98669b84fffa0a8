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

} // namespace settings
