#include "ResponseFilterPage.h"

#include <common/ModuleValues.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>

#include <QCheckBox>

#include <string>
#include <vector>

namespace filters {

namespace {

constexpr const char* BoxCaption = "Response Filteration";
constexpr const char* RegistryFailure = "Invalide registry data";
constexpr const char* RemoveQuestion = "Are You Sure You Want To Delete This Entry : %1";
constexpr const char* RemoveCaption = "Umbravia";

struct SwitchRow {
    UINT id;
    const char* value; // null: the key's unnamed default value
    const char* text;
    QRect units;
};
constexpr SwitchRow Switches[] = {
    {ResponseFilterPage::EnableBox, nullptr, "Enable response filtration.", {14, 12, 200, 10}},
    {ResponseFilterPage::BannersBox, "BLOCKBANNERS", "Banner ads filtering.", {16, 35, 140, 10}},
    {ResponseFilterPage::ImagesBox,
     values::response::BlockImages,
     "Block images.",
     {166, 47, 140, 10}},
    {ResponseFilterPage::ScriptsBox,
     values::response::BlockScripts,
     "Block scripts.",
     {166, 35, 140, 10}},
    {ResponseFilterPage::UnloadBox,
     values::response::DisableOnUnload,
     "Disable window close-up event processing",
     {16, 83, 290, 10}},
    {ResponseFilterPage::PageTitleBox,
     values::response::HidePageTitle,
     "Remove page title.",
     {16, 119, 140, 10}},
    {ResponseFilterPage::PopupsBox,
     values::response::BlockPopups,
     " block Pop-up",
     {16, 47, 140, 10}},
    {ResponseFilterPage::ContextMenuBox,
     values::response::RemoveContextMenuDisablers,
     "Remove context menu disablers.",
     {166, 107, 150, 10}},
    {ResponseFilterPage::FlashBox,
     values::response::RemoveFlash,
     "Remove flash banners.",
     {166, 119, 150, 10}},
    {ResponseFilterPage::StatusBarBox,
     values::response::RemoveStatusMods,
     "Remove status bar modifiers.",
     {16, 107, 140, 10}},
    {ResponseFilterPage::TimerBox,
     values::response::DisableTimerProc,
     "Disable timer based processing",
     {16, 71, 290, 10}},
};

struct Placed {
    UINT id;
    const char* text;
    QRect units;
};
constexpr Placed Buttons[] = {
    {ResponseFilterPage::BannerAdd, "Add", {262, 146, 54, 14}},
    {ResponseFilterPage::BannerEdit, "Edit", {262, 164, 54, 14}},
    {ResponseFilterPage::BannerRemove, "Remove", {262, 182, 54, 14}},
};

struct GroupRow {
    const char* text;
    QRect units;
};
constexpr GroupRow Groups[] = {
    {"Response Filteration", {4, 2, 324, 210}},
    {"Blocking", {10, 24, 312, 36}},
    {"Disabling", {10, 60, 312, 36}},
    {"Removing", {10, 96, 312, 36}},
    {"Banners Server Stop List", {10, 134, 312, 72}},
};

// "server:replacement" split at its first colon.
std::pair<std::string, std::string> splitBanner(const std::string& entry)
{
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) {
        return {entry, ""};
    }
    return {entry.substr(0, colon), entry.substr(colon + 1)};
}

} // namespace

ResponseFilterPage::ResponseFilterPage(QWidget* parent) : SettingsPage(parent, Caption)
{
    buildControls();
    load();
}

void ResponseFilterPage::buildControls()
{
    for (const GroupRow& row : Groups) {
        addGroup(row.text, row.units);
    }
    for (const SwitchRow& row : Switches) {
        addCheckBox(row.id, row.text, row.units);
    }
    for (const Placed& row : Buttons) {
        addButton(row.id, row.text, row.units);
    }
    m_banners = addControl(BannerList, new pageui::SortedListBox(BannerList, this),
                           QRect(16, 146, 240, 54));
}

void ResponseFilterPage::registryError()
{
    MessageBox(hwnd(), RegistryFailure, BoxCaption, MB_OK | MB_ICONERROR);
}

void ResponseFilterPage::load()
{
    bool failed = false;
    settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::ResponseKey, KEY_ALL_ACCESS);
    if (key) {
        for (const SwitchRow& row : Switches) {
            checkBox(row.id)->setChecked(key.readDword(row.value).value_or(0) != 0);
        }
    } else {
        failed = true;
    }
    settings::Key banners =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::BannersKey, KEY_ALL_ACCESS);
    if (banners) {
        for (DWORD index = 0;; ++index) {
            char name[257];
            DWORD nameLength = sizeof name;
            char data[MAX_PATH] = {};
            DWORD dataSize = sizeof data - 1;
            DWORD type = REG_NONE;
            const LONG rc = RegEnumValue(banners.get(), index, name, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &dataSize);
            if (rc != ERROR_SUCCESS) {
                failed = failed || rc != ERROR_NO_MORE_ITEMS;
                break;
            }
            if (type == REG_SZ && name[0] != 0 && data[0] != 0) {
                m_banners->addSorted(std::string(name) + ":" + data);
            }
        }
    } else {
        failed = true;
    }
    updateEnabled();
    if (failed) {
        registryError();
    }
}

void ResponseFilterPage::updateEnabled()
{
    const bool on = checkBox(EnableBox)->isChecked();
    for (const SwitchRow& row : Switches) {
        if (row.id != EnableBox) {
            checkBox(row.id)->setEnabled(on);
        }
    }
    enableControls({BannerList, BannerAdd, BannerEdit, BannerRemove}, on);
}

void ResponseFilterPage::onPageAction()
{
    checkBox(EnableBox)->setChecked(true);
    updateEnabled();
    save();
}

void ResponseFilterPage::onCommand(UINT id, WORD code)
{
    switch (id) {
    case BannerAdd:
        return addBanner();
    case BannerEdit:
        return editBanner();
    case BannerRemove:
        return removeBanner();
    case BannerList:
        if (code == pageui::SortedListBox::DoubleClick) {
            editBanner();
        } else if (code == pageui::SortedListBox::DeleteKey) {
            removeBanner();
        }
        return;
    case EnableBox:
        updateEnabled();
        notifyHost();
        return;
    default:
        if (checkBox(id) != nullptr) {
            notifyHost();
        }
        return;
    }
}

std::optional<std::string> ResponseFilterPage::askBanner(QWidget* parent, const std::string& server,
                                                         const std::string& replacement)
{
    pageui::EntryDialog dialog(parent, "Banners Servers",
                               {{"Banner Server  :", 1033}, {"Fake Banner Server :", 1034}});
    const auto texts = dialog.run({server, replacement});
    // A banner without a server would be stored as the key's unnamed value.
    if (!texts || (*texts)[0].empty()) {
        return std::nullopt;
    }
    return (*texts)[0] + ":" + (*texts)[1];
}

void ResponseFilterPage::addBanner()
{
    const auto entry = askBanner(this, "", "");
    if (!entry || m_banners->findPrefix(QString::fromStdString(*entry)) >= 0) {
        return;
    }
    m_banners->addSorted(*entry);
    notifyHost();
}

void ResponseFilterPage::editBanner()
{
    const int row = m_banners->selectedRow();
    if (row < 0) {
        return;
    }
    const auto [server, replacement] = splitBanner(m_banners->entry(row));
    const auto entry = askBanner(this, server, replacement);
    if (!entry) {
        return;
    }
    // The old entry goes only when the new one can take its place: a new text that
    // another entry already begins with leaves the list as it was.
    const QString text = QString::fromStdString(*entry);
    for (int other = 0; other < m_banners->count(); ++other) {
        if (other != row && m_banners->item(other)->text().startsWith(text, Qt::CaseInsensitive)) {
            return;
        }
    }
    m_banners->removeAt(row);
    m_banners->addSorted(text);
    notifyHost();
}

void ResponseFilterPage::removeBanner()
{
    const int row = m_banners->selectedRow();
    if (row < 0) {
        return;
    }
    const std::string question =
        QString(RemoveQuestion).arg(m_banners->item(row)->text()).toStdString();
    if (MessageBox(hwnd(), question.c_str(), RemoveCaption, MB_YESNOCANCEL | MB_ICONQUESTION) !=
        IDYES) {
        return;
    }
    m_banners->removeAt(row);
    notifyHost();
}

void ResponseFilterPage::save()
{
    bool failed = false;
    settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::ResponseKey, KEY_ALL_ACCESS);
    if (key) {
        for (const SwitchRow& row : Switches) {
            failed |=
                key.writeDword(row.value, checkBox(row.id)->isChecked() ? 1 : 0) != ERROR_SUCCESS;
        }
    } else {
        failed = true;
    }
    settings::Key banners =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::BannersKey, KEY_ALL_ACCESS);
    if (!banners) {
        registryError();
        return;
    }
    // Every value goes, then the list is written anew.
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[257];
        DWORD nameLength = sizeof name;
        if (RegEnumValue(banners.get(), index, name, &nameLength, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, nameLength);
    }
    for (const std::string& name : names) {
        RegDeleteValue(banners.get(), name.c_str());
    }
    for (const std::string& entry : m_banners->entries()) {
        const auto [server, replacement] = splitBanner(entry);
        failed |= banners.writeString(server.c_str(), replacement) != ERROR_SUCCESS;
    }
    if (failed) {
        registryError();
    }
}

} // namespace filters
