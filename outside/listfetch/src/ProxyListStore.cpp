#include "ProxyListStore.h"

#include <climits>

namespace listfetch {

void ProxyListStore::replace(std::vector<ProxyEntry> entries)
{
    std::lock_guard lock(m_mutex);
    m_entries = std::move(entries);
    m_cursor = 0;
    m_everSet = true;
}

bool ProxyListStore::replaceIfNeverSet(std::vector<ProxyEntry> entries)
{
    std::lock_guard lock(m_mutex);
    if (m_everSet) {
        return false;
    }
    m_entries = std::move(entries);
    m_cursor = 0;
    m_everSet = true;
    return true;
}

bool ProxyListStore::everSet() const
{
    std::lock_guard lock(m_mutex);
    return m_everSet;
}

int ProxyListStore::count() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size() > INT_MAX ? INT_MAX : static_cast<int>(m_entries.size());
}

bool ProxyListStore::next(ProxyEntry& entry)
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty()) {
        return false;
    }
    if (m_cursor >= m_entries.size()) {
        m_cursor = 0;
    }
    entry = m_entries[m_cursor++];
    return true;
}

} // namespace listfetch
