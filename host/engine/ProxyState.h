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

private:
    std::atomic<unsigned> m_newRequests{0};   // counted, not yet taken by the window
    std::atomic<unsigned> m_queuedNotices{0}; // 1225 posted, not yet handled
public:
    // 1225 to the main window: an activity entry from the last-request texts. Requests
    // are counted; while MaxQueuedNewRequests notifications wait in the window's queue,
    // further requests are only counted, so a busy browser cannot flood the queue. The
    // engine's notifications carry NewRequestCounted in wParam.
    void notifyNewRequest();
    // The window's side: the requests counted since the last call (each becomes one
    // entry).
    unsigned takeNewRequests();

    static constexpr WPARAM NewRequestCounted = 1;
    static constexpr unsigned MaxQueuedNewRequests = 64;
    // 1214 to every live registered window.
    void notifyActivity();
};

} // namespace host
