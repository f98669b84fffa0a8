// Widget title and visibility mirrored into the window table.

#include "WidgetTracker.h"

#include "WindowManager.h"

#include <platform/Window.h>

#include <QEvent>
#include <QWidget>

namespace platform::detail {

WidgetTracker::WidgetTracker(platform::Window* window, QWidget* widget) : m_window(window)
{
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this] {
        // The widget went first (the Window is a separate object): drop the handle. The
        // tracker itself stays until the Window goes.
        HWND hwnd = m_window->m_hwnd;
        m_window->m_widget = nullptr;
        m_window->m_hwnd = 0;
        if (hwnd != 0) {
            WindowManager::instance().destroy(hwnd, false, false);
        }
    });
}

bool WidgetTracker::eventFilter(QObject* watched, QEvent* event)
{
    HWND hwnd = m_window->hwnd();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (hwnd != 0 && widget != nullptr) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
            WindowManager::instance().noteVisible(hwnd, widget->isVisible());
            break;
        case QEvent::WindowTitleChange:
            WindowManager::instance().setTitle(hwnd, widget->windowTitle().toStdString(), true);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace platform::detail
