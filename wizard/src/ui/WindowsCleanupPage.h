#pragma once
// Windows clean-up (page 150): the Windows traces to clean, the custom directories with
// Add, Edit (dialog 170) and Remove, and RunNow.

#include "CleanupPage.h"

#include <optional>
#include <string>

namespace pageui {
class SortedListBox;
}

namespace wizard::ui {

class WindowsCleanupPage : public CleanupPage<WindowsCleanup> {
public:
    static constexpr int ResourceId = 150;
    static constexpr const char* RemoveQuestion =
        "Are You Sure You Want To Remove This Directory %s";

    enum ControlId : UINT {
        RecycleBinBox = 1024, // ... TelnetBox = 1031, in the order of the model's group
        FolderList = 1036,
        AddButton = 1037,
        EditButton = 1038,
        RemoveButton = 1039,
        CustomDirsBox = 1040,
    };
    // Dialog 170.
    static constexpr int DirectoryDialogId = 170;
    static constexpr const char* DirectoryDialogTitle = "Add Custom Directory";
    static constexpr int DirectoryEditId = 1058;

    WindowsCleanupPage(WizardPage* previous, Session& session);

    pageui::SortedListBox* folderList() const { return m_list; }

protected:
    void onNext() override;
    local::CleanRequest cleanRequest() const override;
    void onPageCommand(UINT id, WORD code) override;

private:
    void enableFolderControls();
    std::optional<std::string> askDirectory(const std::string& initial);

    pageui::SortedListBox* m_list = nullptr;
};

} // namespace wizard::ui
