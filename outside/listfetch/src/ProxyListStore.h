#pragma once
// The list in use and its one cursor, shared by every thread of the process: the chain
// builders draw entries while the host's user-interface thread may replace the list.

#include "ProxyList.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace listfetch {

class ProxyListStore {
public:
    // Puts a new list in use; the cursor starts again at its first entry.
    void replace(std::vector<ProxyEntry> entries);
    // As replace, but only while no list was ever put in use (the stored list loaded on
    // first demand must not undo a refresh that came first).
    bool replaceIfNeverSet(std::vector<ProxyEntry> entries);
    bool everSet() const;

    int count() const;
    // The entry under the cursor, which then moves on (back to the first entry after
    // the last). False when the list is empty.
    bool next(ProxyEntry& entry);

private:
    mutable std::mutex m_mutex; // guards m_entries, m_cursor and m_everSet
    std::vector<ProxyEntry> m_entries;
    std::size_t m_cursor = 0;
    bool m_everSet = false;
};

} // namespace listfetch
