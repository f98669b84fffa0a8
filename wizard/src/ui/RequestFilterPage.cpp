#include "RequestFilterPage.h"

#include "CustomListsPage.h"
#include "SwitchTable.h"

#include <common/ui/IpAddressEdit.h>

#include <QCheckBox>

namespace wizard::ui {

namespace {

constexpr const char* Frames[] = {"Protection", "Disable"};
constexpr SwitchRow<RequestFilter> Rows[] = {
    {1024, 0, "Browser Shielding", &RequestFilter::browserShield},
    {1025, 0, "OS Shielding", &RequestFilter::osShield},
    {1026, 0, "Referrer Blocking.", &RequestFilter::referrerBlock},
    {RequestFilterPage::IpMaskingBox, 0, "IP Masking : Fake IP", &RequestFilter::ipMasking},
    {1028, 1, "Disable all Cookies.", &RequestFilter::disableAllCookies},
    {1029, 1, "Disable Unsafe Cookies.", &RequestFilter::disableUnsafeCookies},
};

} // namespace

RequestFilterPage::RequestFilterPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Request filter")
{
    addSwitches<RequestFilter>(controls(), model().request, Frames, Rows);
    // Beside its box, which is given the room the address needs.
    QCheckBox* masking = checkBox(IpMaskingBox);
    masking->resize(pageui::dialogUnits(0, 0, 110, 10).size());
    m_fakeIp = new pageui::IpAddressEdit(this);
    m_fakeIp->setAddress(model().request.fakeIp);
    m_fakeIp->setGeometry(masking->x() + masking->width() + 6, masking->y() - 3, 180, 22);
    controls().add(FakeIpControl, m_fakeIp);
    m_fakeIp->setEnabled(masking->isChecked());
}

void RequestFilterPage::onCommand(UINT id, WORD)
{
    if (id == IpMaskingBox) {
        m_fakeIp->setEnabled(checkBox(IpMaskingBox)->isChecked());
    }
}

void RequestFilterPage::onNext()
{
    storeSwitches<RequestFilter>(controls(), model().request, Rows);
    DWORD address = 0;
    m_fakeIp->address(address); // empty fields count as 0
    model().request.fakeIp = address;
    openNext(std::make_unique<CustomListsPage>(this, session()));
}

} // namespace wizard::ui
