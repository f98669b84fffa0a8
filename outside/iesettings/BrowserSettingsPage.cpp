#include "BrowserSettingsPage.h"

#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <string>
#include <vector>

namespace iesettings {

namespace {

constexpr const char* BoxCaption = "Browser Settings";
constexpr const char* RegistryFailure = "Invalide registry data";

constexpr const char* SizeSubkey = "KILLPOPUPSIZE";
constexpr const char* UrlSubkey = "KILLPOPUPURL";
constexpr const char* TitleSubkey = "KILLPOPUPTITLE";
constexpr const char* ThresholdValue = "WINDOWSIZETHRESHOLD";
constexpr DWORD MaxThreshold = 100;

struct SwitchRow {
    UINT id;
    const char* value;
    const char* text;
    QRect units;
};
constexpr SwitchRow Switches[] = {
    {BrowserSettingsPage::KillAllBox,
     "KILLALLPOPUPS",
     "Close every new browser window.",
     {16, 26, 200, 10}},
    {BrowserSettingsPage::ToolBarBox, "SHOWTOOLBAR", "Show the tool bar.", {16, 150, 140, 10}},
    {BrowserSettingsPage::MenuBarBox, "SHOWMENUBAR", "Show the menu bar.", {16, 164, 140, 10}},
    {BrowserSettingsPage::AddressBarBox,
     "SHOWADDRESSBAR",
     "Show the address bar.",
     {166, 150, 140, 10}},
    {BrowserSettingsPage::StatusBarBox,
     "SHOWSTATUSBAR",
     "Show the status bar.",
     {166, 164, 140, 10}},
    {BrowserSettingsPage::ResizableBox,
     "IEWINDOWRESIZABLE",
     "Make browser windows resizable.",
     {16, 178, 200, 10}},
};

// A rule list with its subkey, box, list and buttons, and its entry dialog.
struct ListRow {
    const char* subkey;
    UINT box;
    UINT list;
    UINT add;
    UINT edit;
    UINT remove;
    const char* dialogCaption;
    const char* fieldLabel;
};
constexpr ListRow Lists[] = {
    {UrlSubkey, BrowserSettingsPage::UrlRuleBox, BrowserSettingsPage::UrlList,
     BrowserSettingsPage::UrlAdd, BrowserSettingsPage::UrlEdit, BrowserSettingsPage::UrlRemove,
     "Address pattern", "Pattern (* stands for any text):"},
    {TitleSubkey, BrowserSettingsPage::TitleRuleBox, BrowserSettingsPage::TitleList,
     BrowserSettingsPage::TitleAdd, BrowserSettingsPage::TitleEdit,
     BrowserSettingsPage::TitleRemove, "Window title", "Title text:"},
};

const ListRow* listOf(UINT id)
{
    for (const ListRow& row : Lists) {
        if (id == row.box || id == row.list || id == row.add || id == row.edit ||
            id == row.remove) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

BrowserSettingsPage::BrowserSettingsPage(QWidget* parent) : SettingsPage(parent, Caption)
{
    buildControls();
    load();
}

void BrowserSettingsPage::buildControls()
{
    addGroup("Browser Settings", QRect(4, 2, 324, 210));
    addGroup("Pop-up Windows", QRect(10, 14, 312, 120));
    addGroup("Browser Window", QRect(10, 138, 312, 56));
    for (const SwitchRow& row : Switches) {
        addCheckBox(row.id, row.text, row.units);
    }
    addCheckBox(SizeRuleBox, "Close windows smaller than", QRect(16, 40, 116, 10));
    m_threshold = addControl(ThresholdEdit, new QLineEdit(this), QRect(134, 38, 26, 12));
    m_threshold->setValidator(
        new QRegularExpressionValidator(QRegularExpression("\\d{0,3}"), m_threshold));
    connect(m_threshold, &QLineEdit::textEdited, this, [this] { notifyHost(); });
    addLabel("% of the screen.", QRect(164, 40, 100, 10));
    const int columns[] = {16, 166};
    for (std::size_t i = 0; i < std::size(Lists); ++i) {
        const ListRow& row = Lists[i];
        const int x = columns[i];
        addCheckBox(row.box,
                    row.list == UrlList ? "Close windows at these addresses:"
                                        : "Close windows with these titles:",
                    QRect(x, 56, 146, 10));
        addControl(row.list, new pageui::SortedListBox(row.list, this), QRect(x, 68, 100, 60));
        addButton(row.add, "Add", QRect(x + 104, 68, 36, 13));
        addButton(row.edit, "Edit", QRect(x + 104, 83, 36, 13));
        addButton(row.remove, "Remove", QRect(x + 104, 98, 36, 13));
    }
    addLabel("Changes apply from the next page a browser window opens.", QRect(16, 198, 300, 9))
        ->setStyleSheet("color: #5a6473;");
}

pageui::SortedListBox* BrowserSettingsPage::list(UINT id) const
{
    return dynamic_cast<pageui::SortedListBox*>(control(id));
}

void BrowserSettingsPage::registryError()
{
    MessageBox(hwnd(), RegistryFailure, BoxCaption, MB_OK | MB_ICONERROR);
}

void BrowserSettingsPage::load()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey, KEY_ALL_ACCESS);
    if (!key) {
        m_threshold->setText(QString::number(DefaultThreshold));
        updateEnabled();
        registryError();
        return;
    }
    // A missing value counts as off, a missing list as an empty one, as the helper
    // object reads them.
    for (const SwitchRow& row : Switches) {
        checkBox(row.id)->setChecked(key.readDword(row.value).value_or(0) != 0);
    }
    settings::Key size = settings::Key::open(key.get(), SizeSubkey, KEY_READ);
    checkBox(SizeRuleBox)->setChecked(size && size.readDword(nullptr).value_or(0) != 0);
    const DWORD threshold =
        size ? size.readDword(ThresholdValue).value_or(DefaultThreshold) : DefaultThreshold;
    m_threshold->setText(QString::number(std::min(threshold, MaxThreshold)));
    for (const ListRow& row : Lists) {
        settings::Key listKey = settings::Key::open(key.get(), row.subkey, KEY_READ);
        if (!listKey) {
            continue;
        }
        checkBox(row.box)->setChecked(listKey.readDword(nullptr).value_or(0) != 0);
        std::vector<std::string> entries;
        settings::enumerateEntries(listKey.get(), entries);
        for (const std::string& entry : entries) {
            if (list(row.list)->findExact(QString::fromStdString(entry)) < 0) {
                list(row.list)->addSorted(entry);
            }
        }
    }
    updateEnabled();
}

void BrowserSettingsPage::updateEnabled()
{
    m_threshold->setEnabled(checkBox(SizeRuleBox)->isChecked());
    for (const ListRow& row : Lists) {
        enableControls({row.list, row.add, row.edit, row.remove}, checkBox(row.box)->isChecked());
    }
}

void BrowserSettingsPage::onCommand(UINT id, WORD code)
{
    const ListRow* row = listOf(id);
    if (row == nullptr || id == row->box) {
        if (checkBox(id) != nullptr) {
            updateEnabled();
            notifyHost();
        }
        return;
    }
    if (id == row->list) {
        if (code == pageui::SortedListBox::DoubleClick) {
            editEntry(id);
        } else if (code == pageui::SortedListBox::DeleteKey) {
            removeEntry(id);
        }
    } else if (id == row->add) {
        addEntry(row->list);
    } else if (id == row->edit) {
        editEntry(row->list);
    } else {
        removeEntry(row->list);
    }
}

std::optional<std::string> BrowserSettingsPage::askEntry(UINT listId, const std::string& text)
{
    const ListRow* row = listOf(listId);
    pageui::EntryDialog dialog(this, row->dialogCaption, {{row->fieldLabel, 1001}});
    dialog.setMaxLength(0, MaxEntryLength);
    const auto texts = dialog.run({text});
    if (!texts || (*texts)[0].empty()) {
        return std::nullopt;
    }
    return (*texts)[0];
}

void BrowserSettingsPage::addEntry(UINT listId)
{
    const auto text = askEntry(listId, "");
    if (!text || list(listId)->findExact(QString::fromStdString(*text)) >= 0) {
        return;
    }
    list(listId)->addSorted(*text);
    notifyHost();
}

void BrowserSettingsPage::editEntry(UINT listId)
{
    if (list(listId)->editSelected(
            [&](const std::string& text) { return askEntry(listId, text); })) {
        notifyHost();
    }
}

void BrowserSettingsPage::removeEntry(UINT listId)
{
    if (list(listId)->removeSelected()) {
        notifyHost();
    }
}

void BrowserSettingsPage::save()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey, KEY_ALL_ACCESS);
    if (!key) {
        registryError();
        return;
    }
    bool failed = false;
    for (const SwitchRow& row : Switches) {
        failed |= key.writeDword(row.value, checkBox(row.id)->isChecked() ? 1 : 0) != ERROR_SUCCESS;
    }
    const DWORD threshold = std::min<DWORD>(m_threshold->text().toUInt(), MaxThreshold);
    settings::Key size = settings::Key::create(key.get(), SizeSubkey);
    failed |=
        !size ||
        size.writeDword(nullptr, checkBox(SizeRuleBox)->isChecked() ? 1 : 0) != ERROR_SUCCESS ||
        size.writeDword(ThresholdValue, threshold) != ERROR_SUCCESS;
    for (const ListRow& row : Lists) {
        failed |= settings::saveEntries(key.get(), row.subkey, list(row.list)->entries(),
                                        checkBox(row.box)->isChecked() ? 1 : 0) != ERROR_SUCCESS;
    }
    if (failed) {
        registryError();
    }
}

} // namespace iesettings
