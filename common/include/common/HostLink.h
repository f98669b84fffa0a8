#pragma once
// The one way from a module or another program to the running host's main window: the
// handle the host gave (SetMainWindow), else the handle the main window wrote into the
// named section, else the dialog titled "Umbravia". Modules, umbravia-ctl, the wizard and
// the uninstall helper all go through here and never look into the host's widgets.

#include <platform/WinTypes.h>

#include <atomic>
#include <chrono>

namespace hostlink {

// The handle stored in the section (0 when there is no section or nothing in it yet);
// it may name a window that has gone.
HWND mainWindowFromSection();
// The live main window, or 0.
HWND findMainWindow();
// Whether a host runs in this prefix (its instance-link window exists).
bool hostRunning();
// The main window, waiting up to the bound while a starting host creates it; 0 when no
// host runs or it did not come within the bound.
HWND waitForMainWindow(std::chrono::milliseconds bound);

// A module's link to the host window. Safe from any thread.
class HostWindow {
public:
    enum class Lookup {
        GivenOnly, // only the handle the host gave
        Locate,    // that handle, else find the running host's window
    };
    explicit HostWindow(Lookup lookup = Lookup::Locate) : m_lookup(lookup) {}

    // The handle from SetMainWindow (0 forgets it).
    void set(HWND window) { m_given.store(window); }
    HWND given() const { return m_given.load(); }
    // The live window, or 0. A found window is remembered until it goes.
    HWND window();

    // SendMessage / PostMessage to the live window; false when there is none.
    bool send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

private:
    Lookup m_lookup;
    std::atomic<HWND> m_given{0};
    std::atomic<HWND> m_found{0};
};

} // namespace hostlink
