#pragma once
// A small waiting box shown while the wizard works: its fixed text and a status line. It
// is box 155 while Finish saves and box 171 while RunNow cleans.

#include <platform/Window.h>

#include <QDialog>

#include <string>

class QLabel;

namespace wizard::ui {

class WaitBox : public QDialog, public platform::Window {
public:
    WaitBox(QWidget* owner, const char* caption, const char* text);

    // Shown at once, centred on the owner, and painted before the work starts.
    void present();
    void setStatus(const std::string& text);
    QLabel* statusLine() const { return m_status; }

private:
    QLabel* m_status = nullptr;
};

} // namespace wizard::ui
