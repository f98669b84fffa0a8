#include "WindowChrome.h"

#include <cstring>

namespace ieext {

namespace {

constexpr const char* StatusBarClass = "statusbar";
constexpr int ClassNameBytes = 260;

BOOL trimByChild(HWND child, LPARAM param)
{
    RECT& r = *reinterpret_cast<RECT*>(param);
    RECT w{};
    if (!IsWindowVisible(child) || !GetWindowRect(child, &w)) {
        return TRUE;
    }
    if (w.bottom == r.bottom) {
        if (w.top != r.top) {
            char name[ClassNameBytes] = {};
            GetClassName(child, name, ClassNameBytes);
            if (std::strstr(name, StatusBarClass) != nullptr) {
                r.bottom = w.top - 1;
            }
        }
    } else if (r.top <= w.bottom && w.bottom < r.bottom) {
        r.top = w.bottom + 1;
    }
    return TRUE;
}

} // namespace

LONG contentHeight(HWND window)
{
    RECT client{};
    if (!GetClientRect(window, &client)) {
        return 0;
    }
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    RECT r{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    EnumChildWindows(window, trimByChild, reinterpret_cast<LPARAM>(&r));
    return r.bottom - r.top;
}

std::optional<Placement> grownPlacement(LONG top, LONG height, LONG before, LONG after,
                                        const RECT& workArea)
{
    if (before <= after) {
        return std::nullopt;
    }
    Placement placement{std::nullopt, height + (before - after)};
    const LONG areaHeight = workArea.bottom - workArea.top;
    if (placement.height > areaHeight) {
        placement.height = areaHeight;
    }
    if (top + placement.height > workArea.bottom) {
        placement.top = workArea.bottom - placement.height;
    }
    return placement;
}

} // namespace ieext
