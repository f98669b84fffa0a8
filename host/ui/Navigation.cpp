#include "Navigation.h"

#include "NavigationButton.h"
#include "Skin.h"

#include <common/HostMessages.h>
#include <common/ModuleCatalogue.h>
#include <platform/Window.h>

#include <algorithm>
#include <array>

namespace host::ui {

namespace {

constexpr std::array<UINT, 4> MainEntries{cmd::ShowGeneral, cmd::ToggleProxyGroup,
                                          cmd::ShowActivity, cmd::ToggleAboutGroup};
// The module pages' entries, in the catalogue's navigation order.
constexpr std::array<UINT, catalogue::NavigationOrder.size()> ProxyEntries = [] {
    std::array<UINT, catalogue::NavigationOrder.size()> ids{};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ids[i] = catalogue::hostPage(catalogue::NavigationOrder[i]).showCommand;
    }
    return ids;
}();
constexpr std::array<UINT, 3> AboutEntries{cmd::OpenHelp, cmd::ShowAbout, cmd::OpenWebSite};

// Gaps under an entry of the column and under a sub-entry (the sub-entries' pictures
// carry their own indent).
constexpr int MainGap = 4;
constexpr int SubGap = 2;

} // namespace

Navigation::Navigation(QWidget* parent, platform::Window& window)
{
    const auto make = [&](UINT id) {
        auto* button = new NavigationButton(static_cast<int>(id), parent);
        window.bindCommand(button, id);
        m_buttons[id] = button;
    };
    std::for_each(MainEntries.begin(), MainEntries.end(), make);
    std::for_each(ProxyEntries.begin(), ProxyEntries.end(), make);
    std::for_each(AboutEntries.begin(), AboutEntries.end(), make);
    layout();
}

void Navigation::toggle(Group group)
{
    m_expanded = m_expanded == group ? Group::None : group;
    layout();
}

void Navigation::collapse()
{
    m_expanded = Group::None;
    layout();
}

void Navigation::select(std::vector<UINT> ids)
{
    for (auto& [id, button] : m_buttons) {
        button->setSelected(std::find(ids.begin(), ids.end(), id) != ids.end());
    }
}

NavigationButton* Navigation::button(UINT id) const
{
    auto found = m_buttons.find(id);
    return found == m_buttons.end() ? nullptr : found->second;
}

bool Navigation::isSelected(UINT id) const
{
    const NavigationButton* entry = button(id);
    return entry != nullptr && entry->isSelected();
}

void Navigation::layout()
{
    int y = skin::NavigationOrigin.y();
    const auto place = [&](UINT id, bool visible, int gap) {
        NavigationButton* entry = m_buttons.at(id);
        entry->setVisible(visible);
        if (visible) {
            entry->move(skin::NavigationOrigin.x(), y);
            y += entry->height() + gap;
        }
    };
    for (UINT id : MainEntries) {
        place(id, true, MainGap);
        const bool proxy = id == cmd::ToggleProxyGroup;
        const bool about = id == cmd::ToggleAboutGroup;
        if (proxy || about) {
            const bool open = m_expanded == (proxy ? Group::Proxy : Group::About);
            const UINT* first = proxy ? ProxyEntries.data() : AboutEntries.data();
            const std::size_t count = proxy ? ProxyEntries.size() : AboutEntries.size();
            for (std::size_t i = 0; i < count; ++i) {
                place(first[i], open, i + 1 == count ? MainGap : SubGap);
            }
        }
    }
}

} // namespace host::ui
