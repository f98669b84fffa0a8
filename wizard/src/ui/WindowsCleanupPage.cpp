#include "WindowsCleanupPage.h"

#include "BrowserCleanupPage.h"

#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>
#include <platform/Text.h>

#include <QCheckBox>
#include <QPushButton>

#include <CustomDirectoryDialog.h>

namespace wizard::ui {

namespace {

constexpr CleanupItem<WindowsCleanup> Items[] = {
    {1024, "Empty Recycle Bin.", 8, &WindowsCleanup::recycleBin},
    {1025, "Clear Run History.", 9, &WindowsCleanup::runHistory},
    {1026, "Clear Documents History.", 10, &WindowsCleanup::documentHistory},
    {1027, "Clear Last Logon User List.", 11, &WindowsCleanup::lastLogonUser},
    {1028, "Clear Find-Files History.", 12, &WindowsCleanup::findFiles},
    {1029, "Clear Find Computer History.", 13, &WindowsCleanup::findComputer},
    {1030, "Clear Network Connections History.", 14, &WindowsCleanup::networkConnections},
    {1031, "Clear Telnet History.", 15, &WindowsCleanup::telnet},
};

constexpr const char* CustomDirsText = "Custom Directories.";
constexpr int CustomFoldersKind = 17;

const local::CustomDirectoryDialog::Look DirectoryLook{
    WindowsCleanupPage::DirectoryDialogTitle, "Directory :", WindowsCleanupPage::DirectoryEditId};

} // namespace

WindowsCleanupPage::WindowsCleanupPage(WizardPage* previous, Session& session)
    : CleanupPage(previous, session, ResourceId, "Windows clean-up", &SettingsModel::windowsCleanup,
                  Items)
{
    const WindowsCleanup& stored = model().windowsCleanup;
    controls()
        .addCheckBox(CustomDirsBox, CustomDirsText, QRect(24, ContentTop + 80, 190, 10))
        ->setChecked(stored.customDirectories != 0);
    m_list = new pageui::SortedListBox(FolderList, this);
    controls().place(FolderList, m_list, QRect(24, ContentTop + 96, 320, 68));
    for (const std::string& folder : stored.directories) {
        m_list->addSorted(folder);
    }
    controls().addButton(AddButton, "Add", QRect(352, ContentTop + 96, 60, 14));
    controls().addButton(EditButton, "Edit", QRect(352, ContentTop + 114, 60, 14));
    controls().addButton(RemoveButton, "Remove", QRect(352, ContentTop + 132, 60, 14));
    enableFolderControls();
}

void WindowsCleanupPage::enableFolderControls()
{
    controls().enable({FolderList, AddButton, EditButton, RemoveButton},
                      checkBox(CustomDirsBox)->isChecked());
}

std::optional<std::string> WindowsCleanupPage::askDirectory(const std::string& initial)
{
    std::optional<std::string> folder =
        local::CustomDirectoryDialog::ask(this, initial, DirectoryLook);
    if (folder && text::trim(*folder).empty()) {
        return std::nullopt; // an empty entry would clean nothing and mean nothing
    }
    return folder;
}

void WindowsCleanupPage::onPageCommand(UINT id, WORD code)
{
    switch (id) {
    case CustomDirsBox:
        enableFolderControls();
        return;
    case AddButton:
        if (const auto folder = askDirectory("")) {
            if (m_list->findExact(QString::fromStdString(*folder)) < 0) {
                m_list->addSorted(*folder);
            }
        }
        return;
    case EditButton:
        m_list->editSelected([this](const std::string& text) { return askDirectory(text); });
        return;
    case RemoveButton:
        removeSelectedAsking(*m_list, RemoveQuestion);
        return;
    case FolderList:
        if (code == pageui::SortedListBox::DeleteKey) {
            removeSelectedAsking(*m_list, RemoveQuestion);
        }
        return;
    default:
        return;
    }
}

local::CleanRequest WindowsCleanupPage::cleanRequest() const
{
    local::CleanRequest request = CleanupPage<WindowsCleanup>::cleanRequest();
    if (checkBox(CustomDirsBox)->isChecked()) {
        request.kinds[CustomFoldersKind - 1] = true;
        request.customFolders = m_list->entries();
    }
    return request;
}

void WindowsCleanupPage::onNext()
{
    storeBoxes();
    group().customDirectories = checkBox(CustomDirsBox)->isChecked() ? 1 : 0;
    group().directories = m_list->entries();
    openNext(std::make_unique<BrowserCleanupPage>(this, session()));
}

} // namespace wizard::ui
