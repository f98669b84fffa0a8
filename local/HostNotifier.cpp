#include "HostNotifier.h"

#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <platform/Windows.h>

namespace local {

HWND HostNotifier::findHostMainWindow()
{
    return hostlink::findMainWindow();
}

void HostNotifier::notify()
{
    if (m_window == 0 || !IsWindow(m_window)) {
        m_window = findHostMainWindow();
    }
    if (m_window != 0) {
        PostMessage(m_window, msg::SettingsModified, 0, 0);
    }
}

} // namespace local
