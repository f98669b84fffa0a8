#pragma once
// Response filter (page 152): what the proxy kills, disables and removes in the pages it
// relays.

#include "WizardPage.h"

namespace wizard::ui {

class ResponseFilterPage : public WizardPage {
public:
    static constexpr int ResourceId = 152;

    ResponseFilterPage(WizardPage* previous, Session& session);

protected:
    void onNext() override;
};

} // namespace wizard::ui
