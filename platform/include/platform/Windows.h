#pragma once
// Windows and messages. A window handle is a number unique within the prefix; each
// window belongs to the thread that created it and receives its messages there,
// through that thread's Qt event loop. Top-level windows are listed in the prefix's
// window table, so FindWindow, IsWindow, PostMessage and SendMessage also reach the
// windows of other processes of the suite (parameters cross as plain numbers).
//
// Implemented by the UI library (umbravia_platform_ui); declared here because plug-in
// modules and the proxy engine post and send without needing any widget.

#include <platform/WinTypes.h>

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_RESTORE = 9;

// Dialogs have this class name, as on Windows.
inline constexpr const char* DIALOG_CLASS = "#32770";

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASS {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

ATOM RegisterClass(const WNDCLASS* windowClass) noexcept;
BOOL UnregisterClass(LPCSTR className, HINSTANCE instance) noexcept;
// A plain (non-Qt) window of a registered class, owned by the calling thread.
HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) noexcept;
BOOL DestroyWindow(HWND window) noexcept;
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Queues the message for the owning thread; FALSE when the window does not exist.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Calls the window's handler on its owning thread and returns its result. From another
// thread or process the caller waits, while its own incoming sent messages are still
// handled. A window of another process that does not answer within the bound of
// platform::sendTimeoutMs() makes the call fail: result 0, GetLastError ERROR_TIMEOUT.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Either argument may be null (matches any).
HWND FindWindow(LPCSTR className, LPCSTR title) noexcept;
BOOL IsWindow(HWND window) noexcept;
int GetWindowText(HWND window, LPSTR buffer, int size) noexcept;
BOOL SetWindowText(HWND window, LPCSTR text) noexcept;
int GetClassName(HWND window, LPSTR buffer, int size) noexcept;
BOOL ShowWindow(HWND window, int command) noexcept;
BOOL IsWindowVisible(HWND window) noexcept;
BOOL SetForegroundWindow(HWND window) noexcept;
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) noexcept;

// WM_TIMER with the timer id to the window's handler, every period ms.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) noexcept;
BOOL KillTimer(HWND window, UINT_PTR id) noexcept;
// Ends the calling thread's (outermost running) event loop with the code.
void PostQuitMessage(int exitCode) noexcept;
