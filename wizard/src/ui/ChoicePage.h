#pragma once
// Default or custom settings (page 180): two boxes that act as a pair of radio buttons.
// Default loads the default settings into the model and goes straight to the finish
// page; Custom walks through the settings pages.

#include "WizardPage.h"

namespace wizard::ui {

class ChoicePage : public WizardPage {
public:
    static constexpr int ResourceId = 180;
    static constexpr const char* NoSelection =
        "Please make a selection to continue, or cancel to leave the wizard";

    enum ControlId : UINT {
        DefaultBox = 1024,
        CustomBox = 1025,
    };

    ChoicePage(WizardPage* previous, Session& session);

protected:
    void onNext() override;
    void onCommand(UINT id, WORD code) override;
};

} // namespace wizard::ui
