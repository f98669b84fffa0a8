#include "ShutdownSignals.h"

#include <common/HostMessages.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace host::app {

namespace {

sigset_t shutdownSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// How often the waiting thread looks at its stop flag and at a held request.
constexpr long PollNanoseconds = 50'000'000;

} // namespace

void ShutdownSignals::blockInThisThread()
{
    const sigset_t set = shutdownSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

ShutdownSignals::ShutdownSignals(const std::atomic<HWND>& mainWindow) : m_mainWindow(mainWindow)
{
    m_thread = std::thread([this] { run(); });
}

ShutdownSignals::~ShutdownSignals()
{
    m_stop = true;
    m_thread.join();
}

void ShutdownSignals::run()
{
    const sigset_t set = shutdownSignals();
    const timespec poll{0, PollNanoseconds};
    bool pending = false;
    while (!m_stop.load()) {
        const int signal = sigtimedwait(&set, nullptr, &poll);
        if (signal > 0) {
            m_requested = true;
            pending = true;
        }
        if (pending) {
            const HWND window = m_mainWindow.load();
            if (window != 0 && PostMessage(window, WM_COMMAND, cmd::Exit, 0)) {
                pending = false;
            }
        }
    }
}

} // namespace host::app
