// The C++ side of a window handle, and its attachment to a Qt widget.

#include "WidgetTracker.h"
#include "WindowManager.h"

#include <platform/Window.h>

#include <QAbstractButton>
#include <QAction>
#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace platform {

namespace {
// The property that carries a widget's handle, so that pages find their parent window.
constexpr const char* kHandleProperty = "umbravia_hwnd";
// The property that carries a bound button's command id, for BM_CLICK.
constexpr const char* kCommandProperty = "umbravia_command";
} // namespace

Window::Window() = default;

Window::~Window()
{
    // The derived part is gone: no WM_DESTROY to a half-destroyed object.
    if (m_hwnd != 0) {
        detail::WindowManager::instance().destroy(m_hwnd, false, false);
        m_hwnd = 0;
    }
    if (m_widget != nullptr) {
        m_widget->setProperty(kHandleProperty, QVariant());
    }
}

bool Window::createWindow(const char* className, const char* title, HWND parent, bool topLevel)
{
    if (m_hwnd != 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    detail::WindowManager::CreateSpec spec;
    spec.className = className != nullptr ? className : "";
    spec.title = title != nullptr ? title : "";
    spec.parent = parent;
    spec.topLevel = topLevel;
    spec.object = this;
    m_hwnd = detail::WindowManager::instance().create(spec);
    return m_hwnd != 0;
}

bool Window::attachWidget(QWidget* widget, const char* className)
{
    if (widget == nullptr || m_hwnd != 0) {
        SetLastError(widget == nullptr ? ERROR_INVALID_PARAMETER : ERROR_ALREADY_EXISTS);
        return false;
    }
    HWND parent = 0;
    for (QWidget* w = widget->parentWidget(); w != nullptr && parent == 0; w = w->parentWidget()) {
        parent = hwndOf(w);
    }
    detail::WindowManager::CreateSpec spec;
    spec.className = className != nullptr ? className : DIALOG_CLASS;
    spec.title = widget->windowTitle().toStdString();
    spec.parent = parent;
    spec.topLevel = widget->isWindow();
    spec.visible = widget->isVisible();
    spec.object = this;
    m_hwnd = detail::WindowManager::instance().create(spec);
    if (m_hwnd == 0) {
        return false;
    }
    m_widget = widget;
    widget->setProperty(kHandleProperty, QVariant::fromValue(static_cast<quint32>(m_hwnd)));
    m_tracker = std::make_unique<detail::WidgetTracker>(this, widget);
    return true;
}

void Window::destroyWindow()
{
    if (m_hwnd == 0) {
        return;
    }
    HWND hwnd = m_hwnd;
    detail::WindowManager::instance().destroy(hwnd, false, true);
    m_hwnd = 0;
    if (m_widget != nullptr) {
        m_widget->setProperty(kHandleProperty, QVariant());
    }
}

void Window::bindCommand(QAbstractButton* button, UINT id)
{
    button->setProperty(kCommandProperty, QVariant::fromValue(static_cast<quint32>(id)));
    QObject::connect(button, &QAbstractButton::clicked, button, [this, id] {
        if (m_hwnd != 0) {
            ::SendMessage(m_hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0);
        }
    });
}

void Window::bindCommand(QAction* action, UINT id)
{
    QObject::connect(action, &QAction::triggered, action, [this, id] {
        if (m_hwnd != 0) {
            ::SendMessage(m_hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
        }
    });
}

LRESULT Window::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BM_CLICK && m_widget != nullptr && wParam != 0) {
        clickControl(static_cast<UINT>(wParam));
        return 0;
    }
    return ::DefWindowProc(m_hwnd, message, wParam, lParam);
}

void Window::clickControl(UINT id)
{
    const QVariant wanted = QVariant::fromValue(static_cast<quint32>(id));
    for (QAbstractButton* button : m_widget->findChildren<QAbstractButton*>()) {
        if (button->property(kCommandProperty) == wanted) {
            // A disabled control ignores the click, as it ignores the mouse.
            if (button->isEnabled()) {
                button->click();
            }
            return;
        }
    }
}

void Window::showWindowRequest(int command)
{
    if (m_widget == nullptr) {
        return; // the window manager keeps the visibility of windows without a widget
    }
    switch (command) {
    case SW_HIDE:
        m_widget->hide();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        m_widget->isWindow() ? m_widget->showMinimized() : m_widget->show();
        break;
    case SW_SHOWMAXIMIZED:
        m_widget->isWindow() ? m_widget->showMaximized() : m_widget->show();
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        m_widget->isWindow() ? m_widget->showNormal() : m_widget->show();
        break;
    default:
        m_widget->show();
        break;
    }
}

void Window::foregroundRequest()
{
    if (m_widget != nullptr) {
        m_widget->raise();
        m_widget->activateWindow();
    }
}

void paintPageWhite(QWidget& page)
{
    QPalette white = page.palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    page.setPalette(white);
    page.setAutoFillBackground(true);
}

HWND hwndOf(const QWidget* widget)
{
    if (widget == nullptr) {
        return 0;
    }
    QVariant value = widget->property(kHandleProperty);
    return value.isValid() ? static_cast<HWND>(value.toUInt()) : 0;
}

QWidget* widgetOf(HWND hwnd)
{
    return detail::WindowManager::instance().widgetOf(hwnd);
}

} // namespace platform
