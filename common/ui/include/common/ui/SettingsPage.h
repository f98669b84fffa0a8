#pragma once
// The base of every settings page of the suite (the host's own and the modules'): a white
// child window of the host's page size, laid out in dialog units, that saves on the
// host's OK (WM_COMMAND IDOK), drops its edits on IDCANCEL, answers the host's page
// action (1124) and tells the host's main window about every user change (1224).
//
//     class ChainPage : public pageui::SettingsPage {
//         void save() override;          // IDOK, and usually the end of onPageAction
//         void onPageAction() override;  // 1124 from the main window
//         void onCommand(UINT id, WORD code) override; // clicks on the page's controls
//     };

#include <common/ui/ControlSet.h>
#include <platform/Window.h>

#include <QRect>
#include <QSize>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace pageui {

// The page area of the host's main window; the settings dialog shows pages at least
// this large.
inline constexpr QSize PageSize{468, 333};

class SettingsPage : public QWidget, public platform::Window {
public:
    // caption: the window text, which the host shows as the page's tab title.
    SettingsPage(QWidget* parent, const char* caption);
    ~SettingsPage() override;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The page's controls by id (null when the page has none of that id and kind).
    QWidget* control(UINT id) const;
    QCheckBox* checkBox(UINT id) const;
    QPushButton* button(UINT id) const;

protected:
    // IDOK: write the page's values.
    virtual void save() = 0;
    // IDCANCEL: the edits are dropped (the page keeps showing them until it is re-created).
    virtual void discard() {}
    // Message 1124 from the host's main window.
    virtual void onPageAction() = 0;
    // Every other WM_COMMAND: a control's id and its notification code.
    virtual void onCommand(UINT id, WORD code) = 0;

    // Controls that send WM_COMMAND with their id to this page when clicked, placed in
    // dialog units and findable by id.
    QCheckBox* addCheckBox(UINT id, const char* text, QRect units);
    QPushButton* addButton(UINT id, const char* text, QRect units);
    QGroupBox* addGroup(const char* text, QRect units);
    QLabel* addLabel(const char* text, QRect units, UINT id = 0);
    // Any other control (a list, an edit, a combo box): placed and registered by id.
    template <typename Control> Control* addControl(UINT id, Control* control, QRect units)
    {
        m_controls.place(id, control, units);
        return control;
    }
    // Enables or disables the controls of these ids.
    void enableControls(std::initializer_list<UINT> ids, bool enabled);

    // Posts 1224 (settings changed) to the host's main window; nothing when there is none.
    void notifyHost();

private:
    ControlSet m_controls;
    HWND m_host = 0;
};

} // namespace pageui
