#include "WindowList.h"

#include <algorithm>

namespace host {

bool WindowList::add(HWND window)
{
    if (!IsWindow(window)) {
        return false;
    }
    prune();
    std::lock_guard lock(m_mutex);
    if (std::find(m_windows.begin(), m_windows.end(), window) != m_windows.end()) {
        return false;
    }
    m_windows.push_back(window);
    return true;
}

void WindowList::remove(HWND window)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_windows, window);
}

std::vector<HWND> WindowList::prune()
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_windows, [](HWND window) { return !IsWindow(window); });
    return m_windows;
}

bool WindowList::firstIsLive()
{
    std::lock_guard lock(m_mutex);
    while (!m_windows.empty() && !IsWindow(m_windows.front())) {
        m_windows.erase(m_windows.begin());
    }
    return !m_windows.empty();
}

std::vector<HWND> WindowList::windows() const
{
    std::lock_guard lock(m_mutex);
    return m_windows;
}

void WindowList::postToAll(UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_windows.empty()) {
            return; // the common case: nobody registered, nothing to look up
        }
    }
    for (HWND window : prune()) {
        PostMessage(window, message, wParam, lParam);
    }
}

void WindowList::sendToAll(UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND window : prune()) {
        SendMessage(window, message, wParam, lParam);
    }
}

} // namespace host
