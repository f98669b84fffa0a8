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
constexpr UINT BM_CLICK = 0x00F5;
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

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr WORD BN_CLICKED = 0;

constexpr LONG ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr LONG ERROR_CLASS_HAS_WINDOWS = 1412;

constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi)
{
    return static_cast<WPARAM>(MAKELONG(lo, hi));
}

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

// What WM_CREATE carries in lParam (a pointer to it).
struct CREATESTRUCT {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// Class names match without regard to case. The dialog class "#32770" is always there.
ATOM RegisterClass(const WNDCLASS* windowClass) noexcept;
BOOL UnregisterClass(LPCSTR className, HINSTANCE instance) noexcept;
// A plain (non-Qt) window of a registered class, owned by the calling thread, which must
// run a Qt event loop to receive posted messages and timers. WS_CHILD makes a child
// window; any other is top-level (FindWindow sees it). WM_CREATE is sent first (-1 from
// the handler fails the creation).
HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) noexcept;
// Sends WM_DESTROY and removes the window with its timers. Only its owning thread may
// destroy it (else ERROR_ACCESS_DENIED), as on Windows.
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
// A child window of parent (any process) with that class and title, either null for
// any: the most recently made one. A null parent searches the top-level windows, as
// FindWindow. childAfter must be 0 (walking the children in order is not supported).
HWND FindWindowEx(HWND parent, HWND childAfter, LPCSTR className, LPCSTR title) noexcept;
BOOL IsWindow(HWND window) noexcept;
int GetWindowText(HWND window, LPSTR buffer, int size) noexcept;
BOOL SetWindowText(HWND window, LPCSTR text) noexcept;
int GetClassName(HWND window, LPSTR buffer, int size) noexcept;
BOOL ShowWindow(HWND window, int command) noexcept;
BOOL IsWindowVisible(HWND window) noexcept;
BOOL SetForegroundWindow(HWND window) noexcept;
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) noexcept;

// WM_TIMER with the timer id to the window's handler (or proc, when given), every period
// ms (at least 10), on the window's owning thread. Without a window: a thread timer with
// a fresh id that calls proc on the calling thread.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) noexcept;
BOOL KillTimer(HWND window, UINT_PTR id) noexcept;
// Ends the event loops running on the calling thread (on the main thread, the
// application's, whose exec() returns the code; nested loops end too).
void PostQuitMessage(int exitCode) noexcept;

// Geometry, in pixels. Answered for the windows of this process that follow a widget
// (and for the desktop window); other windows give FALSE with
// ERROR_INVALID_WINDOW_HANDLE. A window owned by another thread is asked on that thread.
struct POINT {
    LONG x;
    LONG y;
};
// right and bottom lie just outside the rectangle, as on Windows.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPPOINT = POINT*;
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

// The client area: left and top 0, right and bottom its width and height.
BOOL GetClientRect(HWND window, LPRECT rect) noexcept;
// The whole window in screen coordinates.
BOOL GetWindowRect(HWND window, LPRECT rect) noexcept;
BOOL ClientToScreen(HWND window, LPPOINT point) noexcept;
// Calls proc for every descendant of parent in this process, in the order they were made,
// until it answers FALSE. The descendants are listed before the first call, so proc may
// make or destroy windows. FALSE when there was none.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) noexcept;
// The desktop: its client rectangle is the primary screen's (where Qt knows a screen).
HWND GetDesktopWindow() noexcept;

constexpr UINT SPI_GETWORKAREA = 0x0030;
// SPI_GETWORKAREA only (param: a RECT): the primary screen without the panels, from Qt.
// FALSE with ERROR_INVALID_PARAMETER for other actions, ERROR_NOT_SUPPORTED without a
// screen.
BOOL SystemParametersInfo(UINT action, UINT uiParam, PVOID param, UINT winIni) noexcept;

namespace platform {

// How long a SendMessage to a window of another process waits for the answer before it
// fails with ERROR_TIMEOUT: 5000 ms, or UMBRAVIA_SEND_TIMEOUT_MS. Sends within a process
// wait without limit, as on Windows.
DWORD sendTimeoutMs();
void setSendTimeoutMs(DWORD milliseconds); // tests

// While one lives, a message sent to a window of the calling thread from another thread
// or process fails at once (SendMessage returns 0, ERROR_INVALID_WINDOW_HANDLE), and the
// sends already waiting are answered so. A thread that stops answering for a while (the
// host waiting for its connection threads at exit) then holds up no sender.
class SentMessageRefusal {
public:
    SentMessageRefusal() noexcept;
    ~SentMessageRefusal();
    SentMessageRefusal(const SentMessageRefusal&) = delete;
    SentMessageRefusal& operator=(const SentMessageRefusal&) = delete;
};

} // namespace platform
