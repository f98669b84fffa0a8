#include "ProxyState.h"

#include <common/HostMessages.h>

namespace host {

void ProxyState::notifyNewRequest()
{
    HWND window = mainWindow.load();
    if (window == 0) {
        return;
    }
    m_newRequests.fetch_add(1);
    if (m_queuedNotices.fetch_add(1) < MaxQueuedNewRequests) {
        if (PostMessage(window, msg::NewRequest, NewRequestCounted, 0)) {
            return;
        }
    }
    m_queuedNotices.fetch_sub(1);
}

unsigned ProxyState::takeNewRequests()
{
    if (m_queuedNotices.load() > 0) {
        m_queuedNotices.fetch_sub(1);
    }
    return m_newRequests.exchange(0);
}

void ProxyState::notifyActivity()
{
    windows.postToAll(msg::ConnectionActivity);
}

} // namespace host
