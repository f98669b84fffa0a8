#pragma once
// The Local module's settings page ("Local settings"): the cleaner's switches, the
// custom folders, Clear Now and the browser's Organize Favorites. Edits stay on the page
// until Save (page OK from the host's Apply, Clear Now); each edit posts the change
// notification to the host.

#include "HostNotifier.h"

#include <platform/Window.h>

#include <QWidget>

#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace local {

class LocalSettingsPage : public QWidget, public platform::Window {
public:
    explicit LocalSettingsPage(QWidget* parent);

    static constexpr const char* Caption = "Local settings";

    enum ControlId : UINT {
        RecycleBinBox = 1003,
        CustomDirsBox = 1011,
        FolderList = 1012,
        ClearNowButton = 1013,
        AddButton = 1014,
        EditButton = 1015,
        RemoveButton = 1016,
        OrganizeFavoritesButton = 1025,
        ClearAtExitBox = 1026,
    };
    // List box notification of a double-click (WM_COMMAND, high word).
    static constexpr WORD ListDoubleClick = 2;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void load();
    void save();
    // Save, then clean kinds 1 to 16 as the boxes say (no custom folders).
    void clearNow();

    QCheckBox* checkBox(UINT id) const;
    QListWidget* folderList() const { return m_list; }
    QPushButton* button(UINT id) const;
    // The list's entries in their order.
    std::vector<std::string> folders() const;

private:
    void buildControls();
    void onCommand(UINT id, WORD code);
    void onCustomDirsClicked();
    void onAdd();
    void onEdit();
    void onRemove();
    void organizeFavorites();
    void controlsToMembers();
    void membersToControls();
    void enableFolderControls();
    bool listHolds(const std::string& text) const;
    void addSorted(const std::string& text);
    void notifyHost();

    // One integer per check box, by control id (CUSTOMDIRS' switch under 1011).
    std::map<UINT, int> m_members;
    std::map<UINT, QCheckBox*> m_boxes;
    std::map<UINT, QPushButton*> m_buttons;
    QListWidget* m_list = nullptr;
    HostNotifier m_notifier;
};

} // namespace local
