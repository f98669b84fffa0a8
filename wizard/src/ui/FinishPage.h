#pragma once
// Finish (page 154): the closing words and the exit clean-up switch. Finish saves the
// model while box 155 shows, starts the main program when that is due, and ends the
// wizard; Back keeps the switch in the model.

#include "WizardPage.h"

#include <functional>

namespace wizard::ui {

class FinishPage : public WizardPage {
public:
    static constexpr int ResourceId = 154;
    static constexpr UINT ClearAtExitBox = 1024;
    // Box 155.
    static constexpr const char* SavingCaption = "Confirm Umbravia Settings";
    static constexpr const char* SavingText = "Please wait while Umbravia saves your settings.....";

    FinishPage(WizardPage* previous, Session& session);

protected:
    void onNext() override;
    void onBack() override;

private:
    void storeBox();
};

} // namespace wizard::ui
