#include "ProxyState.h"

#include <common/HostMessages.h>

namespace host {

void ProxyState::notifyNewRequest() const
{
    HWND window = mainWindow.load();
    if (window != 0) {
        PostMessage(window, msg::NewRequest, 0, 0);
    }
}

void ProxyState::notifyActivity()
{
    windows.postToAll(msg::ConnectionActivity);
}

} // namespace host
