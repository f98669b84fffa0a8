#pragma once
// Keeps a window handle in step with the Qt widget it is attached to: title and
// visibility go to the window table; the widget's end detaches it.

#include <QObject>

namespace platform {
class Window;
}

namespace platform::detail {

class WidgetTracker : public QObject {
public:
    WidgetTracker(platform::Window* window, QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::Window* m_window;
};

} // namespace platform::detail
