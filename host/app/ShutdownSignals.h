#pragma once
// SIGINT, SIGTERM and SIGHUP make a running host take its normal exit path: the main
// window gets the exit command (32771), exactly as from the tray menu, so the proxy is
// stopped, the modules are told to exit and the browser helper object key is removed.
// A signal that arrives before the main window exists is held until it does, and cuts
// the first-run wait for the settings wizard short.

#include <platform/Windows.h>

#include <atomic>
#include <thread>

namespace host::app {

class ShutdownSignals {
public:
    // Blocks the signals in the calling thread, so every thread started afterwards
    // inherits the mask; call it first thing in main().
    static void blockInThisThread();

    // Starts the thread that waits for the signals and posts the exit command to the
    // window in mainWindow once it is set.
    explicit ShutdownSignals(const std::atomic<HWND>& mainWindow);
    ~ShutdownSignals();
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    bool requested() const { return m_requested.load(); }

private:
    void run();

    const std::atomic<HWND>& m_mainWindow;
    std::atomic<bool> m_requested{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace host::app
