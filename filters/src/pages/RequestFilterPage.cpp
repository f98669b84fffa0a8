#include "RequestFilterPage.h"

#include <common/ModuleValues.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/IpAddressEdit.h>
#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>

#include <QCheckBox>

#include <string>
#include <vector>

namespace filters {

namespace {

constexpr const char* BoxCaption = "Request Filteration";
constexpr const char* RegistryFailure = "Invalide registry data";
// The second boxes after a failed opening: the key is missing, or the trusted list
// could not be read to its end.
constexpr const char* KeyMissingBox = "Request1";
constexpr const char* TrustedListBox = "Request";
constexpr const char* AlreadyFiltered = "This variable is already filtered";

constexpr const char* CustomFiltersSubkey = values::request::CustomFilters;
constexpr const char* StopServersSubkey = values::request::StopServers;
constexpr const char* TrustedSitesSubkey = "COOKIETRUSTEDSITES";
constexpr const char* FakeIpValue = values::request::FakeIp;

// The DWORD behind each option box.
struct SwitchRow {
    UINT id;
    const char* value; // null: the key's unnamed default value
};
constexpr SwitchRow Switches[] = {
    {RequestFilterPage::EnableBox, nullptr},
    {RequestFilterPage::BrowserShieldBox, values::request::BrowserShield},
    {RequestFilterPage::AllCookiesBox, values::request::DisableAllCookies},
    {RequestFilterPage::UnsafeCookiesBox, values::request::DisableUnsafeCookies},
    {RequestFilterPage::IpMaskingBox, values::request::IpMasking},
    {RequestFilterPage::OsShieldBox, values::request::OsShield},
    {RequestFilterPage::ReferrerBox, values::request::ReferrerBlock},
    {RequestFilterPage::InternetCacheBox, "DISABLEINTERNETCACHE"},
};

// Boxes that the enable box switches on and off (the eight options and the cache box).
constexpr UINT OptionBoxes[] = {
    RequestFilterPage::BrowserShieldBox, RequestFilterPage::OsShieldBox,
    RequestFilterPage::ReferrerBox,      RequestFilterPage::IpMaskingBox,
    RequestFilterPage::AllCookiesBox,    RequestFilterPage::UnsafeCookiesBox,
    RequestFilterPage::CustomFiltersBox, RequestFilterPage::StopListBox,
    RequestFilterPage::InternetCacheBox};

// One list with its box and buttons.
struct ListRow {
    UINT box;
    UINT list;
    UINT add;
    UINT edit;
    UINT remove;
};
constexpr ListRow Lists[] = {
    {RequestFilterPage::UnsafeCookiesBox, RequestFilterPage::TrustedList,
     RequestFilterPage::TrustedAdd, RequestFilterPage::TrustedEdit,
     RequestFilterPage::TrustedRemove},
    {RequestFilterPage::CustomFiltersBox, RequestFilterPage::CustomList,
     RequestFilterPage::CustomAdd, RequestFilterPage::CustomEdit, RequestFilterPage::CustomRemove},
    {RequestFilterPage::StopListBox, RequestFilterPage::StopList, RequestFilterPage::StopAdd,
     RequestFilterPage::StopEdit, RequestFilterPage::StopRemove},
};

const ListRow* listOf(UINT id)
{
    for (const ListRow& row : Lists) {
        if (id == row.list || id == row.add || id == row.edit || id == row.remove) {
            return &row;
        }
    }
    return nullptr;
}

struct Placed {
    UINT id;
    const char* text;
    QRect units;
};

constexpr Placed BoxLayout[] = {
    {RequestFilterPage::EnableBox, "Enable request filtration.", {14, 12, 200, 10}},
    {RequestFilterPage::BrowserShieldBox, "Browser shielding.", {16, 35, 96, 10}},
    {RequestFilterPage::OsShieldBox, "OS Shielding.", {116, 35, 90, 10}},
    {RequestFilterPage::ReferrerBox, "Referrer blocking.", {212, 35, 104, 10}},
    {RequestFilterPage::IpMaskingBox, "IP masking    Fake IP address:", {16, 47, 124, 10}},
    {RequestFilterPage::InternetCacheBox, "Disable internet files cache.", {16, 73, 140, 10}},
    {RequestFilterPage::AllCookiesBox, "Disable all cookies.", {166, 73, 140, 10}},
    {RequestFilterPage::UnsafeCookiesBox,
     "Disable unsafe cookies.              (Trusted servers list)",
     {16, 85, 290, 10}},
    {RequestFilterPage::CustomFiltersBox, "Custom filters", {16, 130, 140, 10}},
    {RequestFilterPage::StopListBox, "Server stop list.", {166, 130, 140, 10}},
};

constexpr Placed ButtonLayout[] = {
    {RequestFilterPage::TrustedAdd, "Add", {212, 97, 34, 13}},
    {RequestFilterPage::TrustedEdit, "Edit", {248, 97, 34, 13}},
    {RequestFilterPage::TrustedRemove, "Remove", {284, 97, 34, 13}},
    {RequestFilterPage::CustomAdd, "Add", {122, 142, 36, 13}},
    {RequestFilterPage::CustomEdit, "Edit", {122, 157, 36, 13}},
    {RequestFilterPage::CustomRemove, "Remove", {122, 172, 36, 13}},
    {RequestFilterPage::StopAdd, "Add", {280, 142, 36, 13}},
    {RequestFilterPage::StopEdit, "Edit", {280, 157, 36, 13}},
    {RequestFilterPage::StopRemove, "Remove", {280, 172, 36, 13}},
};

struct GroupRow {
    const char* text;
    QRect units;
};
constexpr GroupRow Groups[] = {
    {"Request Filteration", {4, 2, 324, 210}},
    {"Shielding", {10, 24, 312, 38}},
    {"Diabling", {10, 62, 312, 62}},
};

// "name: value" -> name and value (the value starts two characters after the colon).
std::pair<std::string, std::string> splitCustomFilter(const std::string& entry)
{
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) {
        return {entry, ""};
    }
    const std::size_t valueAt = colon + 2;
    return {entry.substr(0, colon), valueAt < entry.size() ? entry.substr(valueAt) : ""};
}

QString joinCustomFilter(const std::string& name, const std::string& value)
{
    return QString::fromStdString(name + ": " + value);
}

} // namespace

RequestFilterPage::RequestFilterPage(QWidget* parent) : SettingsPage(parent, Caption)
{
    buildControls();
    load();
}

void RequestFilterPage::buildControls()
{
    for (const GroupRow& row : Groups) {
        addGroup(row.text, row.units);
    }
    for (const Placed& row : BoxLayout) {
        addCheckBox(row.id, row.text, row.units);
    }
    for (const Placed& row : ButtonLayout) {
        addButton(row.id, row.text, row.units);
    }
    m_address = addControl(FakeIpControl, new pageui::IpAddressEdit(this), QRect(142, 45, 100, 13));
    m_trusted = addControl(TrustedList, new pageui::SortedListBox(TrustedList, this),
                           QRect(28, 97, 180, 23));
    m_custom = addControl(CustomList, new pageui::SortedListBox(CustomList, this),
                          QRect(16, 142, 102, 64));
    m_stop =
        addControl(StopList, new pageui::SortedListBox(StopList, this), QRect(166, 142, 110, 64));
    for (const Placed& row : BoxLayout) {
        checkBox(row.id)->raise();
    }
}

pageui::SortedListBox* RequestFilterPage::list(UINT id) const
{
    return dynamic_cast<pageui::SortedListBox*>(control(id));
}

void RequestFilterPage::registryError(bool secondBox, const char* second)
{
    MessageBox(hwnd(), RegistryFailure, BoxCaption, MB_OK | MB_ICONERROR);
    if (secondBox) {
        MessageBox(hwnd(), second, nullptr, MB_OK);
    }
}

void RequestFilterPage::load()
{
    settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::RequestKey, KEY_ALL_ACCESS);
    if (!key) {
        registryError(true, KeyMissingBox);
        updateEnabled();
        return;
    }
    for (const SwitchRow& row : Switches) {
        checkBox(row.id)->setChecked(key.readDword(row.value).value_or(0) != 0);
    }
    m_address->setAddress(key.readDword(FakeIpValue).value_or(0));
    LONG trustedEnd = ERROR_NO_MORE_ITEMS;
    const std::pair<const char*, pageui::SortedListBox*> lists[] = {
        {CustomFiltersSubkey, m_custom},
        {StopServersSubkey, m_stop},
        {TrustedSitesSubkey, m_trusted}};
    for (const auto& [subkey, box] : lists) {
        settings::Key listKey = settings::Key::open(key.get(), subkey, KEY_ALL_ACCESS);
        if (!listKey) {
            continue;
        }
        if (box == m_custom) {
            checkBox(CustomFiltersBox)->setChecked(listKey.readDword(nullptr).value_or(0) != 0);
        } else if (box == m_stop) {
            checkBox(StopListBox)->setChecked(listKey.readDword(nullptr).value_or(0) != 0);
        }
        std::vector<std::string> entries;
        const LONG end = settings::enumerateEntries(listKey.get(), entries);
        for (const std::string& entry : entries) {
            if (box->findPrefix(QString::fromStdString(entry)) < 0) {
                box->addSorted(entry);
            }
        }
        if (box == m_trusted) {
            trustedEnd = end;
        }
    }
    updateEnabled();
    if (trustedEnd != ERROR_NO_MORE_ITEMS) {
        registryError(true, TrustedListBox);
    }
}

void RequestFilterPage::updateEnabled()
{
    // Each part of the page follows its own box, and all of it follows the enable box.
    const bool on = checkBox(EnableBox)->isChecked();
    for (UINT id : OptionBoxes) {
        checkBox(id)->setEnabled(on);
    }
    m_address->setEnabled(on && checkBox(IpMaskingBox)->isChecked());
    for (const ListRow& row : Lists) {
        enableControls({row.list, row.add, row.edit, row.remove},
                       on && checkBox(row.box)->isChecked());
    }
}

void RequestFilterPage::onPageAction()
{
    checkBox(EnableBox)->setChecked(true);
    updateEnabled();
    save();
}

void RequestFilterPage::onCommand(UINT id, WORD code)
{
    const ListRow* row = listOf(id);
    if (row != nullptr && id == row->list) {
        if (code == pageui::SortedListBox::DoubleClick) {
            id == CustomList ? editCustomFilter() : editServer(id);
        } else if (code == pageui::SortedListBox::DeleteKey) {
            removeSelected(id);
        }
        return;
    }
    if (row != nullptr) {
        if (id == row->remove) {
            removeSelected(row->list);
        } else if (id == row->add) {
            row->list == CustomList ? addCustomFilter() : addServer(row->list);
        } else {
            row->list == CustomList ? editCustomFilter() : editServer(row->list);
        }
        return;
    }
    if (checkBox(id) != nullptr) {
        updateEnabled();
        notifyHost();
    }
}

std::optional<std::pair<std::string, std::string>>
RequestFilterPage::askCustomFilter(QWidget* parent, const std::string& name,
                                   const std::string& value)
{
    pageui::EntryDialog dialog(parent, "Custom variable filter",
                               {{"Variable:", 1000}, {"Custom value:", 1001}});
    const auto texts = dialog.run({name, value});
    if (!texts) {
        return std::nullopt;
    }
    return std::make_pair((*texts)[0], (*texts)[1]);
}

std::optional<std::string> RequestFilterPage::askServer(QWidget* parent, const std::string& text)
{
    pageui::EntryDialog dialog(parent, "Server", {{"Server URL:", 1001}});
    const auto texts = dialog.run({text});
    if (!texts) {
        return std::nullopt;
    }
    return (*texts)[0];
}

void RequestFilterPage::addCustomFilter()
{
    const auto entry = askCustomFilter(this, "", "");
    if (!entry || entry->first.empty()) {
        return;
    }
    // "Accept" is refused while "Accept-Language: ..." is listed: the test is a prefix.
    if (m_custom->findPrefix(QString::fromStdString(entry->first)) >= 0) {
        MessageBox(hwnd(), AlreadyFiltered, BoxCaption, MB_OK | MB_ICONERROR);
        return;
    }
    m_custom->addSorted(joinCustomFilter(entry->first, entry->second));
    notifyHost();
}

void RequestFilterPage::editCustomFilter()
{
    // No duplicate test on an edit: the new name may be one already listed.
    const auto ask = [this](const std::string& entry) -> std::optional<std::string> {
        const auto [name, value] = splitCustomFilter(entry);
        const auto edited = askCustomFilter(this, name, value);
        if (!edited || edited->first.empty()) {
            return std::nullopt;
        }
        return joinCustomFilter(edited->first, edited->second).toStdString();
    };
    if (m_custom->editSelected(ask)) {
        notifyHost();
    }
}

void RequestFilterPage::addServer(UINT listId)
{
    const auto text = askServer(this, "");
    if (!text || text->empty()) {
        return;
    }
    list(listId)->addSorted(*text);
    notifyHost();
}

void RequestFilterPage::editServer(UINT listId)
{
    const auto ask = [this](const std::string& text) -> std::optional<std::string> {
        auto answer = askServer(this, text);
        return answer && !answer->empty() ? answer : std::nullopt;
    };
    if (list(listId)->editSelected(ask)) {
        notifyHost();
    }
}

void RequestFilterPage::removeSelected(UINT listId)
{
    if (list(listId)->removeSelected()) {
        notifyHost();
    }
}

void RequestFilterPage::save()
{
    DWORD fakeIp = 0;
    m_address->address(fakeIp);
    settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::RequestKey, KEY_ALL_ACCESS);
    if (!key) {
        registryError(false, nullptr);
        return;
    }
    LONG rc = ERROR_SUCCESS;
    const auto keep = [&rc](LONG result) {
        if (rc == ERROR_SUCCESS) {
            rc = result;
        }
    };
    for (const SwitchRow& row : Switches) {
        keep(key.writeDword(row.value, checkBox(row.id)->isChecked() ? 1 : 0));
    }
    keep(key.writeDword(FakeIpValue, fakeIp));
    keep(settings::saveEntries(key.get(), CustomFiltersSubkey, m_custom->entries(),
                               checkBox(CustomFiltersBox)->isChecked() ? 1 : 0));
    keep(settings::saveEntries(key.get(), StopServersSubkey, m_stop->entries(),
                               checkBox(StopListBox)->isChecked() ? 1 : 0));
    keep(settings::saveEntries(key.get(), TrustedSitesSubkey, m_trusted->entries(), std::nullopt));
    if (rc != ERROR_SUCCESS) {
        registryError(false, nullptr);
    }
}

} // namespace filters
