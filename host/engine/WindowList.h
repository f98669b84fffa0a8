#pragma once
// Outside windows (the browser toolbar band) that registered with 1220 for the host's
// notifications. Connection threads post 1214 to them on every accepted connection and
// relayed request chunk; the main window registers, unregisters, relays 1212/1213 and
// sends 1215-1217. Every walk drops the handles that are no longer windows.

#include <platform/Windows.h>

#include <mutex>
#include <vector>

namespace host {

class WindowList {
public:
    // Appends a live window that is not in the list yet (dead entries are dropped first).
    // False when the handle is not a window or already registered.
    bool add(HWND window);
    void remove(HWND window);

    // Drops dead entries and posts (sends) the message to every live one. The messages go
    // out after the lock is released, so a slow receiver never holds up other threads.
    void postToAll(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void sendToAll(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Drops dead entries and returns the live ones in order.
    std::vector<HWND> prune();
    // Drops dead entries from the front only and tells whether a live one remains there
    // (the exit wait of the main window).
    bool firstIsLive();
    std::vector<HWND> windows() const;

private:
    mutable std::mutex m_mutex; // guards m_windows
    std::vector<HWND> m_windows;
};

} // namespace host
