#pragma once
// Request filter (page 153): the protections of the requests the proxy relays, the fake
// address of IP masking, and the cookie switches.

#include "WizardPage.h"

namespace pageui {
class IpAddressEdit;
}

namespace wizard::ui {

class RequestFilterPage : public WizardPage {
public:
    static constexpr int ResourceId = 153;
    static constexpr UINT IpMaskingBox = 1027;
    static constexpr UINT FakeIpControl = 1033;

    RequestFilterPage(WizardPage* previous, Session& session);

    pageui::IpAddressEdit* fakeIp() const { return m_fakeIp; }

protected:
    void onNext() override;
    void onCommand(UINT id, WORD code) override;

private:
    pageui::IpAddressEdit* m_fakeIp = nullptr;
};

} // namespace wizard::ui
