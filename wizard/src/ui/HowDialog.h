#pragma once
// How the proxy chain works (dialog 203): a picture and "Press Escape to return to the
// wizard". Only Escape closes it.

#include <platform/Window.h>

#include <QDialog>

namespace wizard::ui {

class HowDialog : public QDialog, public platform::Window {
public:
    static constexpr int ResourceId = 203;
    static constexpr const char* Caption = "How The Proxy Chain Works";
    static constexpr const char* EscapeText = "Press Escape to return to the wizard";

    explicit HowDialog(QWidget* parent);
};

} // namespace wizard::ui
