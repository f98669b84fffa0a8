#pragma once
// The controls of one page or dialog, placed in dialog units and found by id: check
// boxes and buttons send WM_COMMAND with their id to the window that owns the set, as
// Win32 controls do. The settings pages and the wizard's pages build on it.

#include <platform/Window.h>

#include <QRect>

#include <initializer_list>
#include <map>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace pageui {

// Dialog units of a page template to pixels, so that a 332 x 216 template fills the host's
// page area with the page font.
QRect dialogUnits(int x, int y, int width, int height);
inline QRect dialogUnits(const QRect& units)
{
    return dialogUnits(units.x(), units.y(), units.width(), units.height());
}

class ControlSet {
public:
    // owner: the widget the controls go on; window: the handle their clicks go to.
    ControlSet(QWidget& owner, platform::Window& window) : m_owner(owner), m_window(window) {}

    QCheckBox* addCheckBox(UINT id, const char* text, QRect units);
    QPushButton* addButton(UINT id, const char* text, QRect units);
    QGroupBox* addGroup(const char* text, QRect units);
    QLabel* addLabel(const char* text, QRect units, UINT id = 0);
    // Any other control: placed and registered by id (0: not registered).
    void place(UINT id, QWidget* control, QRect units);
    // A control placed by its caller in pixels, registered by id.
    void add(UINT id, QWidget* control);

    // The controls by id (null when there is none of that id and kind).
    QWidget* control(UINT id) const;
    QCheckBox* checkBox(UINT id) const;
    QPushButton* button(UINT id) const;
    void enable(std::initializer_list<UINT> ids, bool enabled);

private:
    QWidget& m_owner;
    platform::Window& m_window;
    std::map<UINT, QWidget*> m_controls;
};

} // namespace pageui
