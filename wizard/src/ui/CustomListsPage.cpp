#include "CustomListsPage.h"

#include "FinishPage.h"

#include <common/ui/EntryDialog.h>
#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>
#include <platform/Text.h>

#include <QCheckBox>

namespace wizard::ui {

namespace {

constexpr const char* FiltersText = "Custom Filters.";
constexpr const char* ServersText = "Server Stop List.";
constexpr const char* Separator = ": ";

// A filter entry as the filters read it: the variable and its values.
std::string filterEntry(const std::string& variable, const std::string& values)
{
    return variable + Separator + values;
}

} // namespace

CustomListsPage::CustomListsPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Custom lists")
{
    const CustomLists& lists = model().lists;
    m_filters = addList(FiltersBox, FiltersText, FilterList, lists.filters,
                        lists.customFilters != 0, ContentTop + 4, AddFilterButton);
    m_servers = addList(ServersBox, ServersText, ServerList, lists.servers, lists.stopServers != 0,
                        ContentTop + 96, AddServerButton);
    enableLists();
}

pageui::SortedListBox* CustomListsPage::addList(UINT boxId, const char* text, UINT listId,
                                                const std::vector<std::string>& entries, bool on,
                                                int top, UINT firstButton)
{
    controls().addCheckBox(boxId, text, QRect(24, top, 190, 10))->setChecked(on);
    auto* list = new pageui::SortedListBox(listId, this);
    controls().place(listId, list, QRect(24, top + 14, 320, 70));
    for (const std::string& entry : entries) {
        list->addSorted(entry);
    }
    const char* buttons[] = {"Add", "Edit", "Remove"};
    for (UINT i = 0; i < 3; ++i) {
        controls().addButton(firstButton + i, buttons[i],
                             QRect(352, top + 14 + 18 * static_cast<int>(i), 60, 14));
    }
    return list;
}

pageui::SortedListBox* CustomListsPage::list(UINT id) const
{
    return id == FilterList ? m_filters : id == ServerList ? m_servers : nullptr;
}

void CustomListsPage::enableLists()
{
    const bool filters = checkBox(FiltersBox)->isChecked();
    controls().enable({FilterList, AddFilterButton, EditFilterButton, RemoveFilterButton}, filters);
    const bool servers = checkBox(ServersBox)->isChecked();
    controls().enable({ServerList, AddServerButton, EditServerButton, RemoveServerButton}, servers);
}

void CustomListsPage::onCommand(UINT id, WORD code)
{
    switch (id) {
    case FiltersBox:
    case ServersBox:
        enableLists();
        return;
    case AddFilterButton:
        addFilter();
        return;
    case EditFilterButton:
        editFilter();
        return;
    case RemoveFilterButton:
        removeSelectedAsking(*m_filters, RemoveQuestion);
        return;
    case AddServerButton:
        addServer();
        return;
    case EditServerButton:
        editServer();
        return;
    case RemoveServerButton:
        removeSelectedAsking(*m_servers, RemoveQuestion);
        return;
    case FilterList:
    case ServerList:
        if (code == pageui::SortedListBox::DeleteKey) {
            removeSelectedAsking(*list(id), RemoveQuestion);
        }
        return;
    default:
        return;
    }
}

void CustomListsPage::addFilter()
{
    pageui::EntryDialog dialog(this, FilterDialogTitle,
                               {{"Variable :", NameEdit}, {"Custom Values :", ValuesEdit}});
    const auto texts = dialog.run({});
    if (!texts) {
        return;
    }
    const std::string variable(text::trim((*texts)[0]));
    if (variable.empty()) {
        return;
    }
    // A variable is filtered once: an entry that begins with it already filters it.
    if (m_filters->findPrefix(QString::fromStdString(variable)) >= 0) {
        MessageBox(hwnd(), AlreadyFiltered, WizardTitle, MB_OK | MB_ICONERROR);
        return;
    }
    m_filters->addSorted(filterEntry(variable, (*texts)[1]));
}

void CustomListsPage::editFilter()
{
    m_filters->editSelected([this](const std::string& entry) -> std::optional<std::string> {
        const std::size_t split = entry.find(Separator);
        const std::string variable = entry.substr(0, split);
        const std::string values =
            split == std::string::npos ? std::string() : entry.substr(split + 2);
        pageui::EntryDialog dialog(this, FilterDialogTitle,
                                   {{"Variable :", NameEdit}, {"Custom Values :", ValuesEdit}});
        const auto texts = dialog.run({variable, values});
        if (!texts || text::trim((*texts)[0]).empty()) {
            return std::nullopt;
        }
        return filterEntry(std::string(text::trim((*texts)[0])), (*texts)[1]);
    });
}

void CustomListsPage::addServer()
{
    pageui::EntryDialog dialog(this, ServerDialogTitle, {{"Server URL :", NameEdit}});
    const auto texts = dialog.run({});
    if (!texts) {
        return;
    }
    const std::string server(text::trim((*texts)[0]));
    if (server.empty()) {
        return;
    }
    if (m_servers->findPrefix(QString::fromStdString(server)) >= 0) {
        MessageBox(hwnd(), AlreadyListed, WizardTitle, MB_OK | MB_ICONERROR);
        return;
    }
    m_servers->addSorted(server);
}

void CustomListsPage::editServer()
{
    m_servers->editSelected([this](const std::string& entry) -> std::optional<std::string> {
        pageui::EntryDialog dialog(this, ServerDialogTitle, {{"Server URL :", NameEdit}});
        const auto texts = dialog.run({entry});
        if (!texts || text::trim((*texts)[0]).empty()) {
            return std::nullopt;
        }
        return std::string(text::trim((*texts)[0]));
    });
}

void CustomListsPage::onNext()
{
    CustomLists& lists = model().lists;
    lists.customFilters = checkBox(FiltersBox)->isChecked() ? 1 : 0;
    lists.filters = m_filters->entries();
    lists.stopServers = checkBox(ServersBox)->isChecked() ? 1 : 0;
    lists.servers = m_servers->entries();
    // A list switched on needs the request filter's switch; with both off the switch
    // keeps what it was (it also stands for the filter's other rules).
    if (lists.customFilters != 0 || lists.stopServers != 0) {
        model().request.customLists = 1;
    }
    openNext(std::make_unique<FinishPage>(this, session()));
}

} // namespace wizard::ui
