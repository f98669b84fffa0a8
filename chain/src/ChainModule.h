#pragma once
// The Chain module's process-wide state: sockets started, Listfetch loaded with its two
// entry points, the single-hop flag set through SetVendor and the main window.

#include "ChainBuilder.h"

#include <common/HostLink.h>
#include <platform/Sockets.h>
#include <platform/WinTypes.h>

#include <atomic>

namespace chain {

class ChainModule {
public:
    using SocketStartup = int (*)(WORD version, LPWSADATA data);

    ChainModule() = default;
    ~ChainModule() { stop(); }
    ChainModule(const ChainModule&) = delete;
    ChainModule& operator=(const ChainModule&) = delete;

    // The module start: sockets, then Listfetch and its entry points. Each failure is
    // shown in its box, undoes what was done and returns false (the load then fails).
    bool start(SocketStartup startup = WSAStartup);
    // The module end: sockets cleaned up, Listfetch freed.
    void stop();

    SOCKET createChain();

    void setSingleHop(int value) { m_singleHop = value; }
    int singleHop() const { return m_singleHop; }
    void setMainWindow(HWND window) { m_host.set(window); }
    HWND mainWindow() const { return m_host.given(); }
    // The host window the chain page tells of its changes.
    hostlink::HostWindow& host() { return m_host; }

private:
    bool m_socketsStarted = false;
    HMODULE m_listfetch = nullptr;
    ProxySource m_source;
    // Set and cleared by the host around one CreateChain, without a lock; a build on
    // another thread may see the other caller's value, as the host expects.
    std::atomic<int> m_singleHop{0};
    hostlink::HostWindow m_host;
};

} // namespace chain
