#include "ResponseFilterPage.h"

#include "RequestFilterPage.h"
#include "SwitchTable.h"

namespace wizard::ui {

namespace {

constexpr const char* Frames[] = {"Kill", "Disable", "Remove"};
constexpr SwitchRow<ResponseFilter> Rows[] = {
    {1024, 0, "Pop-up Windows.", &ResponseFilter::blockPopups},
    {1025, 0, "Flash Banners.", &ResponseFilter::removeFlash},
    {1026, 1, "Images.", &ResponseFilter::blockImages},
    {1027, 1, "Scripts.", &ResponseFilter::blockScripts},
    {1028, 1, "Windows Close-up Event Processing.", &ResponseFilter::disableOnUnload},
    {1029, 1, "Timer Based Processing.", &ResponseFilter::disableTimers},
    {1030, 2, "Status Bar Modifiers.", &ResponseFilter::removeStatusModifiers},
    {1031, 2, "Context Menu Disablers.", &ResponseFilter::removeMenuDisablers},
    {1032, 2, "Hide Page Title.", &ResponseFilter::hidePageTitle},
};

} // namespace

ResponseFilterPage::ResponseFilterPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Response filter")
{
    addSwitches<ResponseFilter>(controls(), model().response, Frames, Rows);
}

void ResponseFilterPage::onNext()
{
    storeSwitches<ResponseFilter>(controls(), model().response, Rows);
    openNext(std::make_unique<RequestFilterPage>(this, session()));
}

} // namespace wizard::ui
