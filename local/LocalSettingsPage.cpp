#include "LocalSettingsPage.h"

#include "CustomDirectoryDialog.h"
#include "HostNotifier.h"
#include "LocalSettings.h"
#include "OrganizeFavorites.h"
#include "ProgressWindow.h"
#include "TraceCleaner.h"

#include <common/HostMessages.h>
#include <common/Settings.h>
#include <common/ui/SortedListBox.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <QCheckBox>

#include <strings.h>

namespace local {

namespace {

struct BoxRow {
    UINT id;
    const char* text;
    const char* value; // null: the CUSTOMDIRS switch
    int kind;          // trace kind, 0 for CLEARATEXIT
    int x;             // position in dialog units
    int y;
};

// The page's check boxes with their settings, as laid out on the page.
constexpr BoxRow Boxes[] = {
    {1003, "Empty Recylce Bin.", "RECYCLEBIN", 8, 16, 26},
    {1004, "Clear Run History.", "RUNHISTORY", 9, 16, 38},
    {1005, "Clear Documents History.", "DOCHISTORY", 10, 16, 50},
    {1006, "Clear Last Logon User List", "LASTLOGONUSER", 11, 16, 62},
    {1007, "Clear Find-Files History.", "FINDFILES", 12, 16, 74},
    {1008, "Clear Find Computer History.", "FINDCOMPUTER", 13, 16, 86},
    {1009, "ClearNetwork Connections History.", "NETCON", 14, 16, 98},
    {1010, "Clear Telnet History.", "TELENT", 15, 16, 110},
    {1017, "Clear Internet History.", "INTERNETURLHISTORY", 16, 172, 26},
    {1018, "Clear Temprory System Files.", "TEMPSYSTEMFILES", 7, 172, 38},
    {1019, "Clear Temprory Internet Files.", "TEMPINTERNETFILES", 1, 172, 50},
    {1020, "Clear AutoComplete Forms.", "AUTOFORMS", 4, 172, 62},
    {1021, "Clear AutoComplete Passwords.", "AUTOPASS", 5, 172, 74},
    {1022, "Clear Internet Explorer Favorites.", "FAVORITES", 6, 172, 86},
    {1023, "Clear Cookies.", "INTERNETCOOKIES", 2, 172, 98},
    {1024, "Clear Typed URL History.", "TYPEDURLHISTORY", 3, 172, 110},
    {1026, "Clear Selected Items Each Time at Program Exit.", "CLEARATEXIT", 0, 16, 196},
    {1011, "Custom Directories.", nullptr, 17, 16, 137},
};

struct ButtonRow {
    UINT id;
    const char* text;
    int x, y, width;
};

constexpr ButtonRow Buttons[] = {
    {1014, "Add", 262, 136, 56},
    {1015, "Edit", 262, 152, 56},
    {1016, "Remove", 262, 168, 56},
    {1013, "Clear Now", 204, 193, 42},
    {1025, "Organize IE Favorites", 248, 193, 78},
};

struct GroupRow {
    const char* text;
    int x, y, width, height;
};

constexpr GroupRow Groups[] = {
    {"Local Settings", 4, 2, 324, 210},
    {"Clean-up Settings", 10, 14, 154, 110},
    {"Internet Explorer Settings", 166, 14, 156, 110},
    {"Clean Custom Directories", 10, 126, 312, 62},
};

// The page template, in dialog units.
constexpr int PageWidth = 332;
constexpr int PageHeight = 216;

const BoxRow* boxByValue(const char* value)
{
    for (const BoxRow& row : Boxes) {
        if (row.value != nullptr && ::strcasecmp(row.value, value) == 0) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

LocalSettingsPage::LocalSettingsPage(QWidget* parent) : SettingsPage(parent, Caption)
{
    buildControls();
    load();
}

void LocalSettingsPage::buildControls()
{
    setFixedSize(pageui::dialogUnits(0, 0, PageWidth, PageHeight).size());
    for (const GroupRow& row : Groups) {
        addGroup(row.text, QRect(row.x, row.y, row.width, row.height));
    }
    for (const BoxRow& row : Boxes) {
        m_boxes[row.id] = addCheckBox(
            row.id, row.text, QRect(row.x, row.y, row.id == ClearAtExitBox ? 188 : 146, 10));
        m_members[row.id] = 0;
    }
    for (const ButtonRow& row : Buttons) {
        addButton(row.id, row.text, QRect(row.x, row.y, row.width, 14));
    }
    m_list = addControl(FolderList, new pageui::SortedListBox(FolderList, this),
                        QRect(16, 149, 240, 34));
}

void LocalSettingsPage::onCommand(UINT id, WORD code)
{
    switch (id) {
    case CustomDirsBox:
        return onCustomDirsClicked();
    case AddButton:
        return onAdd();
    case EditButton:
        return onEdit();
    case RemoveButton:
        return onRemove();
    case ClearNowButton:
        return clearNow();
    case OrganizeFavoritesButton:
        return organizeFavorites(hwnd());
    case FolderList:
        if (code == pageui::SortedListBox::DoubleClick) {
            onEdit();
            notifyHost();
        }
        return;
    default:
        if (m_boxes.count(id) != 0) {
            notifyHost();
        }
        return;
    }
}

void LocalSettingsPage::load()
{
    m_list->clear();
    for (auto& [id, value] : m_members) {
        value = 0;
    }
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, ModuleKey, KEY_ALL_ACCESS);
    if (!key) {
        showRegistryError(hwnd());
        membersToControls();
        return;
    }
    for (const BoxRow& row : Boxes) {
        if (row.value != nullptr) {
            m_members[row.id] = static_cast<int>(readSwitch(key.get(), row.value));
        }
    }
    settings::Key customDirs = settings::Key::open(key.get(), CustomDirsSubkey, KEY_ALL_ACCESS);
    std::vector<std::string> folders;
    LONG rc = ERROR_INVALID_HANDLE;
    if (customDirs) {
        m_members[CustomDirsBox] = static_cast<int>(readSwitch(customDirs.get(), nullptr));
        rc = enumerateCustomFolders(customDirs.get(), folders);
    }
    for (const std::string& folder : folders) {
        if (m_list->findExact(QString::fromStdString(folder)) < 0) {
            m_list->addSorted(folder);
        }
    }
    if (rc != ERROR_NO_MORE_ITEMS) {
        showRegistryError(hwnd());
        return;
    }
    membersToControls();
    enableFolderControls();
}

void LocalSettingsPage::save()
{
    controlsToMembers();
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, ModuleKey, KEY_ALL_ACCESS);
    if (!key) {
        showRegistryError(hwnd());
        return;
    }
    for (const char* value : SwitchWriteOrder) {
        key.writeDword(value, static_cast<DWORD>(m_members[boxByValue(value)->id]));
    }
    SHDeleteKey(key.get(), CustomDirsSubkey);
    settings::Key customDirs = settings::Key::create(key.get(), CustomDirsSubkey);
    const LONG rc = customDirs.writeDword(nullptr, static_cast<DWORD>(m_members[CustomDirsBox]));
    const std::vector<std::string> entries = folders();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        customDirs.writeString(std::to_string(i).c_str(), entries[i]);
    }
    if (rc != ERROR_SUCCESS) {
        showRegistryError(hwnd());
    }
}

void LocalSettingsPage::clearNow()
{
    save();
    CleanRequest request;
    for (const BoxRow& row : Boxes) {
        if (row.kind >= 1 && row.kind <= 16) {
            request.kinds[row.kind - 1] = m_members[row.id] != 0;
        }
    }
    ProgressWindow progress(this);
    HostNotifier notifier;
    TraceCleaner(progress, notifier).run(request);
}

void LocalSettingsPage::onCustomDirsClicked()
{
    controlsToMembers();
    enableFolderControls();
    notifyHost();
}

void LocalSettingsPage::onAdd()
{
    const std::optional<std::string> text = CustomDirectoryDialog::ask(this, "");
    if (!text || m_list->findExact(QString::fromStdString(*text)) >= 0) {
        return;
    }
    notifyHost();
    m_list->addSorted(*text);
}

void LocalSettingsPage::onEdit()
{
    // No duplicate check here, and the new text keeps the old entry's place.
    if (m_list->editSelected(
            [this](const std::string& text) { return CustomDirectoryDialog::ask(this, text); })) {
        notifyHost();
    }
}

void LocalSettingsPage::onRemove()
{
    if (m_list->removeSelected()) {
        notifyHost();
    }
}

void LocalSettingsPage::controlsToMembers()
{
    for (auto& [id, box] : m_boxes) {
        m_members[id] = box->isChecked() ? 1 : 0;
    }
}

void LocalSettingsPage::membersToControls()
{
    for (auto& [id, box] : m_boxes) {
        box->setChecked(m_members[id] != 0);
    }
}

void LocalSettingsPage::enableFolderControls()
{
    const bool on = m_members[CustomDirsBox] != 0;
    enableControls({FolderList, AddButton, EditButton, RemoveButton}, on);
}

std::vector<std::string> LocalSettingsPage::folders() const
{
    return m_list->entries();
}

} // namespace local
