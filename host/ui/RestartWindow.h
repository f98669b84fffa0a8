#pragma once
// The window shown while the proxy restarts (dialog 130): no caption bar, two lines of
// text. The main window's loop does not run meanwhile, so it is painted once, at once.

#include <platform/Window.h>

#include <QDialog>

namespace host::ui {

class RestartWindow : public QDialog, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 130;
    static constexpr const char* FirstLine = "Re-Starting Proxy server...";
    static constexpr const char* SecondLine = "Please Wait ...";

    // Modeless, owned by (and centred over) the main window when one is given.
    explicit RestartWindow(QWidget* owner = nullptr);

    // Shows the window and paints it before returning.
    void showNow();
};

} // namespace host::ui
