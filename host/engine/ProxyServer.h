#pragma once
// The proxy server: a TCP listener on the configured port whose thread accepts client
// connections and gives each one its own setup thread. One per process, owned by the
// application object beside the ProxyState it shares with the connection threads.
//
// It listens on 127.0.0.1, and on every IPv4 address only when the main key's DWORD
// LISTENALLADDRESSES is 1: a proxy open to the network would let any machine relay
// through the user's computer.

#include "HandshakeEvent.h"

#include <platform/Sockets.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace host {

struct ProxyState;

class ProxyServer {
public:
    explicit ProxyServer(ProxyState& state) : m_state(state) {}
    // endConnections(), for an owner that did not call it.
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    // Binds SetVendor from the Chain slot and starts the listener thread, which signals
    // the handshake event once listening has begun or failed. 0 when SetVendor is
    // missing ("Failed to load Dll Module"), when already listening, or when the thread
    // could not be started.
    int Start(int port);
    // Clears both running flags and closes the listener; the listener thread then
    // signals the handshake event once more as it ends.
    void Stop();
    bool IsRunning() const { return m_running.load(); }

    // Set by the owner just before Start or Stop, waited for after.
    HandshakeEvent& handshake() { return m_handshake; }
    // Waits for the listener thread of the last run to end.
    void join();
    // The end of the engine, before the modules go: stops the listener, wakes and closes
    // every connection thread (also one blocked in a lookup, a connect or CreateChain)
    // and waits for them, refusing meanwhile the messages they send to the calling
    // thread's windows, which no longer answers. True when no connection thread is left:
    // only then may the modules they call be unloaded. No connection starts afterwards.
    bool endConnections();
    int port() const { return m_port.load(); }
    // Accepts that failed while running (skipped, each followed by a short pause).
    unsigned acceptFailures() const { return m_acceptFailures.load(); }

private:
    void listenerThread();
    bool openListener();
    void acceptLoop();
    // Out of descriptors: logs it and closes the client the accept could not take.
    void refuseWaitingClient(SOCKET listening, int error);
    void pauseAfterFailedAccept() const;
    void newConnection(SOCKET client);

    ProxyState& m_state;
    // Stop shuts the listening socket down while the listener thread may be closing it:
    // the lock keeps the shutdown off a number the system has already reused.
    std::mutex m_socketMutex;
    SOCKET m_socket = INVALID_SOCKET; // guarded by m_socketMutex
    std::thread m_listener;
    std::atomic<int> m_port{0};
    std::atomic<bool> m_running{false};
    std::atomic<unsigned> m_acceptFailures{0};
    int m_reserve = -1; // a descriptor kept free for refusing a client; listener thread only
    HandshakeEvent m_handshake;
};

} // namespace host
