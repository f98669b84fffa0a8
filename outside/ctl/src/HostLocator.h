#pragma once
// Finds the running host the way every outside program does: the instance-link window
// says it runs, the named section holds its main window's handle, and the started
// event wakes those that came too early.

#include <platform/WinTypes.h>

#include <chrono>

namespace ctl {

class HostLocator {
public:
    // Whether a host runs (its instance-link window exists).
    static bool hostRunning();
    // The main window now: from the section, else by class and title; 0 when not there.
    static HWND currentMainWindow();
    // The main window, waiting up to the bound while a starting host creates it. 0 when
    // no host runs or it did not come within the bound.
    static HWND waitForMainWindow(std::chrono::milliseconds bound);
};

} // namespace ctl
