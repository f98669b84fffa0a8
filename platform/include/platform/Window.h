#pragma once
// The C++ side of a window handle. Dialogs and pages derive from Window next to their Qt
// widget class and attach the widget:
//
//     class GeneralPage : public QWidget, public platform::Window {
//     public:
//         explicit GeneralPage(QWidget* parent) : QWidget(parent) { attachWidget(this); }
//         LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
//     };
//
// The handle then follows the widget: its title, its visibility, its parent (the nearest
// ancestor widget with a handle); ShowWindow and SetForegroundWindow act on it, WM_CLOSE
// closes it. Messages reach windowProc on the thread that attached the widget. Objects
// without a widget get a handle with createWindow.

#include <platform/Windows.h>

#include <memory>
#include <string>

class QAbstractButton;
class QAction;
class QWidget;

namespace platform {

namespace detail {
class WidgetTracker;
}

class Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return m_hwnd; }
    QWidget* widget() const { return m_widget; }

    // A handle for this object, owned by the calling thread. False when it has one already
    // or the window table is unusable (GetLastError says why).
    bool createWindow(const char* className, const char* title, HWND parent = 0,
                      bool topLevel = true);
    // A handle that follows the widget. Dialogs keep the class "#32770".
    bool attachWidget(QWidget* widget, const char* className = DIALOG_CLASS);
    // Removes the handle (also done by the destructor); WM_DESTROY is sent first when
    // called on the owning thread.
    void destroyWindow();

    // Clicking the button (or triggering the action) sends WM_COMMAND with the id and
    // BN_CLICKED to this window, as a Win32 control would. The controls have no handles
    // of their own: BM_CLICK sent or posted to this window with a bound button's id in
    // wParam clicks that button (what BM_CLICK to the control does on Windows), also from
    // another process.
    void bindCommand(QAbstractButton* button, UINT id);
    void bindCommand(QAction* action, UINT id);

    // The window's handler; the default is DefWindowProc.
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // ShowWindow and SetForegroundWindow on this window, on its owning thread.
    virtual void showWindowRequest(int command);
    virtual void foregroundRequest();

private:
    friend class detail::WidgetTracker;
    void clickControl(UINT id);
    HWND m_hwnd = 0;
    QWidget* m_widget = nullptr;
    std::unique_ptr<detail::WidgetTracker> m_tracker;
};

// A page of a dialog painted as the suite's pages are: white, with white behind the
// text of every control on it (WM_CTLCOLOR answered with a white brush).
void paintPageWhite(QWidget& page);

// The handle of a widget attached to a Window (0 when none), and back.
HWND hwndOf(const QWidget* widget);
QWidget* widgetOf(HWND hwnd);

} // namespace platform
