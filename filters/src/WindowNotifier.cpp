#include "WindowNotifier.h"

#include <common/HostLink.h>
#include <common/HostMessages.h>

namespace filters {

namespace {
// Only the window the host named: the filters never go looking for one.
hostlink::HostWindow g_host(hostlink::HostWindow::Lookup::GivenOnly);
} // namespace

void WindowNotifier::setMainWindow(HWND window)
{
    g_host.set(window);
}

HWND WindowNotifier::mainWindow()
{
    return g_host.given();
}

void WindowNotifier::requestFiltered()
{
    send(msg::RequestFiltered);
}

void WindowNotifier::responseFiltered()
{
    send(msg::ResponseFiltered);
}

void WindowNotifier::send(UINT message)
{
    g_host.send(message);
}

} // namespace filters
