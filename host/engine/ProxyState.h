#pragma once
// The state the proxy engine shares between the listener, the connection threads and
// the main window. The application object owns one, beside its ProxyServer.

#include "ConnectionTracker.h"
#include "LastRequest.h"
#include "WindowList.h"

#include <common/PluginContract.h>
#include <platform/Windows.h>

#include <atomic>

namespace host {

class ModuleTable;

// The firewall (upstream) proxy as the sessions see it; the general page writes each
// value whole while sessions read them.
struct FirewallSettings {
    std::atomic<bool> enabled{false};
    std::atomic<DWORD> address{0}; // first field in the most significant byte
    std::atomic<DWORD> port{0};
};

struct ProxyState {
    explicit ProxyState(const ModuleTable& moduleTable) : modules(moduleTable) {}
    ProxyState(const ProxyState&) = delete;
    ProxyState& operator=(const ProxyState&) = delete;

    const ModuleTable& modules;
    // 1 from the moment the listener listens until a stop; every connection thread
    // checks it before and after each receive.
    std::atomic<bool> serverRunning{false};
    LastRequest lastRequest;
    WindowList windows;
    FirewallSettings firewall;
    // The main window, which receives 1225 for each request (0: nobody to tell).
    std::atomic<HWND> mainWindow{0};
    // Bound from the Chain slot at every server start.
    std::atomic<SetVendorFn> setVendor{nullptr};
    ConnectionTracker connections;

    // 1225 to the main window: an activity entry from the last-request texts.
    // Requests are counted, and one notification (NewRequestCounted in wParam) stands for
    // all those counted until the window takes them. While one is pending no other is
    // posted, so a busy browser neither floods the window's queue nor wakes the window
    // for every request.
    void notifyNewRequest();
    // The window's side: the requests counted since the last call (each becomes one
    // entry). The pending notification stays pending until releaseNewRequests().
    unsigned takeNewRequests();
    // Ends the pending state (the window calls it a moment after taking, which bounds
    // how often it is woken); requests counted meanwhile are notified at once.
    void releaseNewRequests();

    static constexpr WPARAM NewRequestCounted = 1;

    // 1214 to every live registered window.
    void notifyActivity();

private:
    void postNewRequest();

    std::atomic<unsigned> m_newRequests{0};   // counted, not yet taken by the window
    std::atomic<bool> m_noticePending{false}; // a 1225 posted and not yet released
};

} // namespace host
