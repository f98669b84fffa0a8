#include "WindowNotifier.h"

#include <common/HostMessages.h>

#include <atomic>

namespace filters {

namespace {
std::atomic<HWND> g_mainWindow{0};
}

void WindowNotifier::setMainWindow(HWND window)
{
    g_mainWindow.store(window);
}

HWND WindowNotifier::mainWindow()
{
    return g_mainWindow.load();
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
#if UMBRAVIA_FILTERS_HAVE_WINDOWS
    const HWND window = mainWindow();
    if (window != 0 && IsWindow(window)) {
        SendMessage(window, message, 0, 0);
    }
#else
    (void)message; // built without the window layer: nobody to tell
#endif
}

} // namespace filters
