#pragma once
// SIGINT and SIGTERM turned into a call on the main thread's event loop, so that a
// watching umbravia-ctl can unregister from the host before it ends.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace ctl {

class StopSignals {
public:
    // Installs the handlers; onStop runs on the calling thread's event loop.
    explicit StopSignals(std::function<void()> onStop);
    // Restores the default actions.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool installed() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_onStop;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace ctl
