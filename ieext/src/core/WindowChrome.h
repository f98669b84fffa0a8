#pragma once
// The browser window's page area and how much the window grows to keep it when bars are
// switched on.

#include <platform/Windows.h>

#include <optional>

namespace ieext {

// The height of the client area left to the page: the client rectangle in screen
// coordinates, its top moved below every visible descendant that ends inside it, its
// bottom above a status bar that sits on the bottom edge. Descendants in the system's
// order, so this is a measure, not a layout.
LONG contentHeight(HWND window);

struct Placement {
    std::optional<LONG> top; // set when the window must move up
    LONG height;
};

// The window grows by what the page area lost (before - after), to at most the work
// area's height, and moves up when it would end below the work area. Nothing when the
// page area did not shrink.
std::optional<Placement> grownPlacement(LONG top, LONG height, LONG before, LONG after,
                                        const RECT& workArea);

} // namespace ieext
