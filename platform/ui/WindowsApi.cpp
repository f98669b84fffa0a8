// The Win32 window functions over the window manager.

#include "WindowManager.h"

#include <platform/Windows.h>

#include <QCoreApplication>
#include <QThread>

#include <cstring>
#include <optional>
#include <string>

using platform::detail::WindowManager;

namespace {

int copyOut(const std::optional<std::string>& text, LPSTR buffer, int size)
{
    if (!text || buffer == nullptr || size <= 0) {
        if (!text) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        }
        return 0;
    }
    std::size_t n = std::min<std::size_t>(text->size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text->data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

} // namespace

ATOM RegisterClass(const WNDCLASS* windowClass) noexcept
{
    if (windowClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        return WindowManager::instance().registerClass(*windowClass);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL UnregisterClass(LPCSTR className, HINSTANCE) noexcept
{
    try {
        return WindowManager::instance().unregisterClass(className) ? TRUE : FALSE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) noexcept
{
    try {
        WindowManager& manager = WindowManager::instance();
        std::optional<WNDPROC> proc = manager.classProcedure(className);
        if (!proc) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return 0;
        }
        WindowManager::CreateSpec spec;
        spec.className = className;
        spec.title = title != nullptr ? title : "";
        spec.parent = parent;
        spec.topLevel = (style & WS_CHILD) == 0;
        spec.visible = (style & WS_VISIBLE) != 0;
        spec.proc = *proc;
        HWND hwnd = manager.create(spec);
        if (hwnd == 0) {
            return 0;
        }
        CREATESTRUCT create{
            param, instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
            title, className, exStyle};
        if (manager.send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
            manager.destroy(hwnd, true, true);
            SetLastError(ERROR_INVALID_FUNCTION);
            return 0;
        }
        return hwnd;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL DestroyWindow(HWND window) noexcept
{
    try {
        return WindowManager::instance().destroy(window, true, true) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        return WindowManager::instance().defaultProc(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        return WindowManager::instance().post(window, message, wParam, lParam);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        return WindowManager::instance().send(window, message, wParam, lParam);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

HWND FindWindow(LPCSTR className, LPCSTR title) noexcept
{
    try {
        return WindowManager::instance().find(className, title);
    } catch (...) {
        return 0;
    }
}

HWND FindWindowEx(HWND parent, HWND childAfter, LPCSTR className, LPCSTR title) noexcept
{
    try {
        if (childAfter != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (parent == 0) {
            return WindowManager::instance().find(className, title);
        }
        return WindowManager::instance().findChild(parent, className, title);
    } catch (...) {
        return 0;
    }
}

BOOL IsWindow(HWND window) noexcept
{
    try {
        return WindowManager::instance().isWindow(window) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

int GetWindowText(HWND window, LPSTR buffer, int size) noexcept
{
    try {
        return copyOut(WindowManager::instance().title(window), buffer, size);
    } catch (...) {
        return 0;
    }
}

BOOL SetWindowText(HWND window, LPCSTR text) noexcept
{
    try {
        return WindowManager::instance().setTitle(window, text != nullptr ? text : "", false)
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

int GetClassName(HWND window, LPSTR buffer, int size) noexcept
{
    try {
        return copyOut(WindowManager::instance().className(window), buffer, size);
    } catch (...) {
        return 0;
    }
}

BOOL ShowWindow(HWND window, int command) noexcept
{
    try {
        return WindowManager::instance().show(window, command) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL IsWindowVisible(HWND window) noexcept
{
    try {
        return WindowManager::instance().isVisible(window) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL SetForegroundWindow(HWND window) noexcept
{
    try {
        return WindowManager::instance().foreground(window) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) noexcept
{
    try {
        return WindowManager::instance().threadProcess(window, processId);
    } catch (...) {
        return 0;
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) noexcept
{
    try {
        return WindowManager::instance().setTimer(window, id, periodMs, proc);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL KillTimer(HWND window, UINT_PTR id) noexcept
{
    try {
        return WindowManager::instance().killTimer(window, id) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

void PostQuitMessage(int exitCode) noexcept
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        QCoreApplication::exit(exitCode);
    } else if (QThread* thread = QThread::currentThread()) {
        thread->exit(exitCode);
    }
}
