#pragma once
// The change notification of the module: message 1224 (WM_USER + 200), both parameters
// 0, posted to the host application's main window.
//
// The module has no SetMainWindow export, so it finds that window the way outside
// programs do: the handle in the host's named section "hKestraniHollowmereMainWnd"
// (written when the main window is created), or else the dialog titled "Umbravia".
// The window is looked up once per notifier and again whenever it has gone, so a
// cleaning run that posts for every folder costs one lookup.

#include <platform/WinTypes.h>

namespace local {

class HostNotifier {
public:
    virtual ~HostNotifier() = default;
    // Posts the notification; silently nothing when no host window exists.
    virtual void notify();

    // The host's main window, or 0.
    static HWND findHostMainWindow();

private:
    HWND m_window = 0;
};

} // namespace local
