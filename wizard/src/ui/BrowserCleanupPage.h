#pragma once
// Internet Explorer clean-up (page 151): the browser's traces to clean, the browser's
// Organize Favorites (through shdocvw.dll) and RunNow.

#include "CleanupPage.h"

namespace wizard::ui {

class BrowserCleanupPage : public CleanupPage<BrowserCleanup> {
public:
    static constexpr int ResourceId = 151;
    static constexpr UINT OrganizeFavoritesButton = 1032;

    BrowserCleanupPage(WizardPage* previous, Session& session);

protected:
    void onNext() override;
    void onPageCommand(UINT id, WORD code) override;
};

} // namespace wizard::ui
