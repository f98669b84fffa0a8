#pragma once
// The navigation column of the main window: General (1001), Proxy Settings (1002),
// Activity (1007) and About (1008), one under the other from the column's origin. The
// proxy-settings group opens its entries 1003, 1006, 1004, 1005, 1009 under 1002 and
// the about group its entries 1021, 1022, 1024 under 1008; one group is open at a time.
// Each entry sends its command id to the main window.

#include <platform/WinTypes.h>

#include <map>
#include <vector>

namespace platform {
class Window;
}

class QWidget;

namespace host::ui {

class NavigationButton;

class Navigation {
public:
    enum class Group { None, Proxy, About };

    // Creates the entries on parent and binds their commands to window.
    Navigation(QWidget* parent, platform::Window& window);

    Group expanded() const { return m_expanded; }
    // Opens the group, or closes it when it is open already.
    void toggle(Group group);
    void collapse();
    // Shows the selected picture on these entries only (a sub-entry and its group).
    void select(std::vector<UINT> ids);

    NavigationButton* button(UINT id) const;
    bool isSelected(UINT id) const;

private:
    void layout();

    std::map<UINT, NavigationButton*> m_buttons;
    Group m_expanded = Group::None;
};

} // namespace host::ui
