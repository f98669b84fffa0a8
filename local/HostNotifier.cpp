#include "HostNotifier.h"

#include <common/HostMessages.h>

namespace local {

HWND HostNotifier::findHostMainWindow()
{
    return hostlink::findMainWindow();
}

void HostNotifier::notify()
{
    m_host.post(msg::SettingsModified);
}

} // namespace local
