#pragma once
// "Advanced Proxy Settings" (dialog 183): the chain switch, the chain's path length and
// the connection time-out. The edits are enabled only while the switch is on. The page
// takes the three values whether the dialog is left with OK or with Cancel.

#include "core/SettingsModel.h"

#include <common/ui/ControlSet.h>
#include <platform/Window.h>

#include <QDialog>

class QLineEdit;

namespace wizard::ui {

class AdvancedProxyDialog : public QDialog, public platform::Window {
public:
    static constexpr int ResourceId = 183;
    static constexpr const char* Caption = "Advanced Proxy Settings";
    static constexpr const char* BadPathLength = "The path length must be a number from 1 to 64.";
    static constexpr const char* BadTimeout =
        "The connection time-out must be a number of milliseconds.";
    // The longest chain the chain builder makes.
    static constexpr std::uint32_t MaxPathLength = 64;

    enum ControlId : UINT {
        ConnectBox = 1024,
        TimeoutEdit = 1057,
        PathLengthEdit = 1058,
    };

    // Shows the wizard's chain values.
    AdvancedProxyDialog(QWidget* parent, const ProxyChain& chain);

    // The switch, and each number that is valid, into chain.
    void takeValues(ProxyChain& chain) const;

    QCheckBox* connectBox() const { return m_controls.checkBox(ConnectBox); }
    QLineEdit* edit(UINT id) const;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // OK refuses numbers it cannot take; Cancel keeps what it can.
    void accept() override;

private:
    void updateEnabled();

    pageui::ControlSet m_controls;
};

} // namespace wizard::ui
