#pragma once
// The Local module's settings page ("Local settings"): the cleaner's switches, the
// custom folders, Clear Now and the browser's Organize Favorites. Edits stay on the page
// until Save (page OK from the host's Apply, Clear Now); each edit posts the change
// notification to the host.

#include <common/ui/SettingsPage.h>

#include <map>
#include <string>
#include <vector>

namespace pageui {
class SortedListBox;
}

namespace local {

class LocalSettingsPage : public pageui::SettingsPage {
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
    void load();
    void save() override;
    // Save, then clean kinds 1 to 16 as the boxes say (no custom folders).
    void clearNow();

    pageui::SortedListBox* folderList() const { return m_list; }
    // The list's entries in their order.
    std::vector<std::string> folders() const;

private:
    void buildControls();
    void onPageAction() override { clearNow(); }
    void onCommand(UINT id, WORD code) override;
    void onCustomDirsClicked();
    void onAdd();
    void onEdit();
    void onRemove();
    void controlsToMembers();
    void membersToControls();
    void enableFolderControls();

    // One integer per check box, by control id (CUSTOMDIRS' switch under 1011).
    std::map<UINT, int> m_members;
    std::map<UINT, QCheckBox*> m_boxes;
    pageui::SortedListBox* m_list = nullptr;
};

} // namespace local
