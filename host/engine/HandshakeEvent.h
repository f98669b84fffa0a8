#pragma once
// The server's handshake: an auto-reset event that the listener thread signals once when
// listening has begun or failed, and once more when its accept loop has ended.

#include <condition_variable>
#include <mutex>

namespace host {

class HandshakeEvent {
public:
    void set();
    void reset();
    // Waits until the event is signalled and clears it again.
    void wait();

private:
    std::mutex m_mutex; // guards m_signalled
    std::condition_variable m_changed;
    bool m_signalled = false;
};

} // namespace host
