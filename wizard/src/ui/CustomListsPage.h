#pragma once
// Custom lists (page 215): the custom header filters ("variable: values", dialog 169)
// and the server stop list (dialog 172), each switched on by its box.

#include "WizardPage.h"

#include <optional>
#include <string>
#include <vector>

namespace pageui {
class SortedListBox;
}

namespace wizard::ui {

class CustomListsPage : public WizardPage {
public:
    static constexpr int ResourceId = 215;
    static constexpr const char* AlreadyFiltered = "This Variable Is Already Filtered";
    static constexpr const char* AlreadyListed = "This Server Is Already In The Server Stop List";
    static constexpr const char* RemoveQuestion = "Are You Sure You Want To Remove This Title %s";

    enum ControlId : UINT {
        FiltersBox = 1024,
        ServersBox = 1025,
        FilterList = 1036,
        AddFilterButton = 1037,
        EditFilterButton = 1038,
        RemoveFilterButton = 1039,
        ServerList = 1041,
        AddServerButton = 1042,
        EditServerButton = 1043,
        RemoveServerButton = 1044,
    };
    // Dialogs 169 and 172 and their edits.
    static constexpr const char* FilterDialogTitle = "Add Custom Filter";
    static constexpr const char* ServerDialogTitle = "Add Server To Server Stop List";
    static constexpr UINT NameEdit = 1058;   // "Variable :", "Server URL :"
    static constexpr UINT ValuesEdit = 1057; // "Custom Values :"

    CustomListsPage(WizardPage* previous, Session& session);

    pageui::SortedListBox* list(UINT id) const;

protected:
    void onNext() override;
    void onCommand(UINT id, WORD code) override;

private:
    pageui::SortedListBox* addList(UINT boxId, const char* text, UINT listId,
                                   const std::vector<std::string>& entries, bool on, int top,
                                   UINT firstButton);
    void enableLists();
    void addFilter();
    void addServer();
    void editFilter();
    void editServer();

    pageui::SortedListBox* m_filters = nullptr;
    pageui::SortedListBox* m_servers = nullptr;
};

} // namespace wizard::ui
