#pragma once
// The base of the two clean-up pages: one box per trace kind of the page's group of the
// model, stored into the model on Next, and RunNow, which cleans the page's ticked items
// at once.

#include "TraceCleaner.h"
#include "WizardPage.h"

#include <cstdint>
#include <span>

namespace wizard::ui {

// One box of a clean-up page: its id, text, the cleaner's kind and its switch in the group.
template <typename Group> struct CleanupItem {
    UINT id;
    const char* text;
    int kind;
    std::uint32_t Group::*field;
};

template <typename Group> class CleanupPage : public WizardPage {
public:
    static constexpr UINT RunNowButton = 1041;
    static constexpr const char* RunNowText = "RunNow";

    CleanupPage(WizardPage* previous, Session& session, int resourceId, const char* heading,
                Group SettingsModel::*group, std::span<const CleanupItem<Group>> items);

protected:
    Group& group() const { return model().*m_group; }
    // The boxes into the model.
    void storeBoxes();
    // The kinds of the ticked boxes; the page adds what else it cleans.
    virtual local::CleanRequest cleanRequest() const;
    // Clicks on the page's own controls other than the boxes and RunNow.
    virtual void onPageCommand(UINT id, WORD code) {}

private:
    void onCommand(UINT id, WORD code) final;

    Group SettingsModel::*m_group;
    std::span<const CleanupItem<Group>> m_items;
};

extern template class CleanupPage<WindowsCleanup>;
extern template class CleanupPage<BrowserCleanup>;

} // namespace wizard::ui
