#include "BrowserCleanupPage.h"

#include "OrganizeFavorites.h"
#include "ResponseFilterPage.h"

#include <QPushButton>

namespace wizard::ui {

namespace {

// In the order of the model's group; the kinds are the cleaner's.
constexpr CleanupItem<BrowserCleanup> Items[] = {
    {1024, "Clear History.", 16, &BrowserCleanup::urlHistory},
    {1025, "Clear Temprory System Files.", 7, &BrowserCleanup::tempSystemFiles},
    {1026, "Clear Temprory Internet Files.", 1, &BrowserCleanup::tempInternetFiles},
    {1027, "Clear AutoComplete Forms.", 4, &BrowserCleanup::autoCompleteForms},
    {1028, "Clear Auto Complete Passwords.", 5, &BrowserCleanup::autoCompletePasswords},
    {1029, "Clear Internet Explorer Favorites.", 6, &BrowserCleanup::favorites},
    {1030, "Clear Cookies.", 2, &BrowserCleanup::cookies},
    {1031, "Clear Typed URL History.", 3, &BrowserCleanup::typedUrls},
};

constexpr const char* OrganizeText = "OrganizeInternetExplorerFavorites";

} // namespace

BrowserCleanupPage::BrowserCleanupPage(WizardPage* previous, Session& session)
    : CleanupPage(previous, session, ResourceId, "Internet Explorer clean-up",
                  &SettingsModel::browserCleanup, Items)
{
    controls().addButton(OrganizeFavoritesButton, OrganizeText,
                         QRect(24, ContentTop + 90, 170, 14));
}

void BrowserCleanupPage::onPageCommand(UINT id, WORD)
{
    if (id == OrganizeFavoritesButton) {
        local::organizeFavorites(hwnd());
    }
}

void BrowserCleanupPage::onNext()
{
    storeBoxes();
    openNext(std::make_unique<ResponseFilterPage>(this, session()));
}

} // namespace wizard::ui
