#pragma once
// The change notification of the module: message 1224 (WM_USER + 200), both parameters
// 0, posted to the host application's main window.
//
// The module has no SetMainWindow export, so it finds that window the way outside
// programs do (hostlink). The window is looked up once per notifier and again whenever
// it has gone, so a cleaning run that posts for every folder costs one lookup.

#include <common/HostLink.h>
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
    hostlink::HostWindow m_host;
};

} // namespace local
