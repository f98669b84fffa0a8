#include "ProxyState.h"

#include <common/HostMessages.h>

namespace host {

void ProxyState::notifyNewRequest()
{
    if (mainWindow.load() == 0) {
        return; // nobody to tell
    }
    m_newRequests.fetch_add(1);
    if (!m_noticePending.exchange(true)) {
        postNewRequest();
    }
}

unsigned ProxyState::takeNewRequests()
{
    return m_newRequests.exchange(0);
}

void ProxyState::releaseNewRequests()
{
    m_noticePending = false;
    if (m_newRequests.load() > 0 && !m_noticePending.exchange(true)) {
        postNewRequest();
    }
}

void ProxyState::postNewRequest()
{
    const HWND window = mainWindow.load();
    if (window == 0 || !PostMessage(window, msg::NewRequest, NewRequestCounted, 0)) {
        // Nobody to tell: the count waits for the next request or release.
        m_noticePending = false;
    }
}

void ProxyState::notifyActivity()
{
    windows.postToAll(msg::ConnectionActivity);
}

} // namespace host
