#pragma once
// Finding the running host's main window from another module or process: the handle the
// main window wrote into the named section, or else the dialog titled "Umbravia".

#include <platform/WinTypes.h>

namespace hostlink {

// The handle stored in the section (0 when there is no section or nothing in it yet);
// it may name a window that has gone.
HWND mainWindowFromSection();
// The live main window, or 0.
HWND findMainWindow();

} // namespace hostlink
