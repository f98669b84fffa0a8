#include "HandshakeEvent.h"

namespace host {

void HandshakeEvent::set()
{
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_changed.notify_all();
}

void HandshakeEvent::reset()
{
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

void HandshakeEvent::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

} // namespace host
