#include "FinishPage.h"

#include "WaitBox.h"
#include "core/Finish.h"

#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QLabel>

namespace wizard::ui {

namespace {

constexpr const char* Lines[] = {
    "- Umbravia team hopes that you find the solutions",
    "you need to help you get more out of this feature-packed",
    "product.",
    "- Your settings will be saved when you click the finish",
    "button.",
    "- To undo any changes please press the back button.",
    "- Please restart Internet Explorer for the settings:",
    "to take effect.",
};
constexpr const char* ClearAtExitText = "Clear Selected Items Each Time at Program Exit.";

} // namespace

FinishPage::FinishPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Finish")
{
    int y = ContentTop + 8;
    for (const char* line : Lines) {
        const bool point = line[0] == '-';
        y += point && y > ContentTop + 8 ? 5 : 0;
        controls().addLabel(line, QRect(point ? 30 : 37, y, 380, 11));
        y += 12;
    }
    controls()
        .addCheckBox(ClearAtExitBox, ClearAtExitText, QRect(30, y + 14, 300, 10))
        ->setChecked(model().exitCleanup.clearAtExit != 0);
    useFinishButton();
}

void FinishPage::storeBox()
{
    model().exitCleanup.clearAtExit = checkBox(ClearAtExitBox)->isChecked() ? 1 : 0;
}

void FinishPage::onBack()
{
    storeBox();
}

void FinishPage::onNext()
{
    MessageBox(hwnd(), FinishInformation, WizardTitle, MB_OK | MB_ICONINFORMATION);
    hide();
    if (previousPage() != nullptr) {
        previousPage()->hide();
    }
    storeBox();
    {
        WaitBox saving(this, SavingCaption, SavingText);
        saving.present();
        finishWizard(model(), session().start);
    }
    endWizard(Finished);
}

} // namespace wizard::ui
