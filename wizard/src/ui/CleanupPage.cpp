#include "CleanupPage.h"

#include "CleanupRun.h"

#include <QCheckBox>

namespace wizard::ui {

template <typename Group>
CleanupPage<Group>::CleanupPage(WizardPage* previous, Session& session, int resourceId,
                                const char* heading, Group SettingsModel::*group,
                                std::span<const CleanupItem<Group>> items)
    : WizardPage(previous, session, resourceId, heading), m_group(group), m_items(items)
{
    // Two columns of boxes, filled top to bottom.
    const std::size_t perColumn = (items.size() + 1) / 2;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const CleanupItem<Group>& item = items[i];
        const int x = i < perColumn ? 24 : 220;
        const int y = ContentTop + 8 + 16 * static_cast<int>(i % perColumn);
        controls()
            .addCheckBox(item.id, item.text, QRect(x, y, 190, 10))
            ->setChecked(this->group().*item.field != 0);
    }
    controls().addButton(RunNowButton, RunNowText, QRect(360, ContentTop + 172, 60, 14));
}

template <typename Group> void CleanupPage<Group>::storeBoxes()
{
    for (const CleanupItem<Group>& item : m_items) {
        group().*item.field = checkBox(item.id)->isChecked() ? 1 : 0;
    }
}

template <typename Group> local::CleanRequest CleanupPage<Group>::cleanRequest() const
{
    local::CleanRequest request;
    for (const CleanupItem<Group>& item : m_items) {
        request.kinds[static_cast<std::size_t>(item.kind - 1)] = checkBox(item.id)->isChecked();
    }
    return request;
}

template <typename Group> void CleanupPage<Group>::onCommand(UINT id, WORD code)
{
    if (id == RunNowButton) {
        runCleanup(this, cleanRequest());
        return;
    }
    onPageCommand(id, code);
}

template class CleanupPage<WindowsCleanup>;
template class CleanupPage<BrowserCleanup>;

} // namespace wizard::ui
