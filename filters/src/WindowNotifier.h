#pragma once
// Sends the filter notifications to the window given by SetMainWindow, with SendMessage
// (both parameters 0), and only when that handle names an existing window.

#include "FilterEvents.h"

#include <platform/WinTypes.h>

namespace filters {

class WindowNotifier final : public FilterEvents {
public:
    // The one value the module keeps between calls; set once before the proxy starts.
    static void setMainWindow(HWND window);
    static HWND mainWindow();

    void requestFiltered() override;
    void responseFiltered() override;

private:
    static void send(UINT message);
};

} // namespace filters
