// Window geometry over the widgets that windows follow, the desktop window and the work
// area, all from Qt.

#include "WindowManager.h"

#include <platform/Windows.h>

#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <functional>
#include <optional>

using platform::detail::WindowManager;

namespace {

// Below the first handle the window table hands out, so no real window ever has it.
constexpr HWND DesktopWindow = 0x10;

std::optional<QRect> primaryScreen(bool workArea)
{
    if (QGuiApplication::instance() == nullptr) {
        return std::nullopt;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return std::nullopt;
    }
    return workArea ? screen->availableGeometry() : screen->geometry();
}

RECT toRect(const QRect& r)
{
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// The primary screen (or its work area), in screen coordinates or from the origin.
BOOL screenRect(LPRECT rect, bool workArea, bool atOrigin)
{
    const std::optional<QRect> screen = primaryScreen(workArea);
    if (!screen) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    *rect = atOrigin ? RECT{0, 0, screen->width(), screen->height()} : toRect(*screen);
    return TRUE;
}

// Runs read on the widget's thread (widgets live on the GUI thread); false when hwnd has
// no widget in this process.
bool withWidget(HWND hwnd, const std::function<void(QWidget&)>& read)
{
    QPointer<QWidget> widget = WindowManager::instance().widgetOf(hwnd);
    if (widget == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (widget->thread() == QThread::currentThread()) {
        read(*widget);
        return true;
    }
    bool done = false;
    QMetaObject::invokeMethod(
        widget,
        [&] {
            if (widget != nullptr) {
                read(*widget);
                done = true;
            }
        },
        Qt::BlockingQueuedConnection);
    if (!done) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return done;
}

} // namespace

BOOL GetClientRect(HWND window, LPRECT rect) noexcept
{
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        if (window == DesktopWindow) {
            return screenRect(rect, false, true);
        }
        return withWidget(window,
                          [&](QWidget& w) {
                              *rect = {0, 0, w.width(), w.height()};
                          })
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL GetWindowRect(HWND window, LPRECT rect) noexcept
{
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        if (window == DesktopWindow) {
            return screenRect(rect, false, false);
        }
        return withWidget(window,
                          [&](QWidget& w) {
                              *rect = w.isWindow()
                                          ? toRect(w.frameGeometry())
                                          : toRect(QRect(w.mapToGlobal(QPoint(0, 0)), w.size()));
                          })
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL ClientToScreen(HWND window, LPPOINT point) noexcept
{
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        if (window == DesktopWindow) {
            return TRUE; // the desktop's client area starts at the screen's origin
        }
        return withWidget(window,
                          [&](QWidget& w) {
                              const QPoint global = w.mapToGlobal(QPoint(point->x, point->y));
                              *point = {global.x(), global.y()};
                          })
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) noexcept
{
    if (proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        const std::vector<HWND> children = WindowManager::instance().descendants(parent);
        for (HWND child : children) {
            // A window destroyed by an earlier call is skipped.
            if (IsWindow(child) && proc(child, lParam) == FALSE) {
                break;
            }
        }
        return children.empty() ? FALSE : TRUE;
    } catch (...) {
        return FALSE;
    }
}

HWND GetDesktopWindow() noexcept
{
    return DesktopWindow;
}

BOOL SystemParametersInfo(UINT action, UINT, PVOID param, UINT) noexcept
{
    if (action != SPI_GETWORKAREA || param == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        return screenRect(static_cast<RECT*>(param), true, false);
    } catch (...) {
        return FALSE;
    }
}
