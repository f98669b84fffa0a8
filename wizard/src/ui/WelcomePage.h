#pragma once
// Welcome (page 102): what the wizard does, in "Times New Roman"; Back is disabled.

#include "WizardPage.h"

namespace wizard::ui {

class WelcomePage : public WizardPage {
public:
    static constexpr int ResourceId = 102;
    static constexpr const char* WelcomeFont = "Times New Roman";

    explicit WelcomePage(Session& session);

protected:
    void onNext() override;
};

} // namespace wizard::ui
