#include "ChoicePage.h"

#include "FinishPage.h"
#include "ProxyChainPage.h"

#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QLabel>

namespace wizard::ui {

namespace {

constexpr const char* DefaultText = "Default Settings.";
constexpr const char* CustomText = "Custom Settings.";
constexpr const char* DefaultsIntro = "The default settings include :";
// What applyDefaults sets, in the user's words.
constexpr const char* DefaultsList[] = {
    "- Proxy chain through one proxy, on port 8080, its list updated every hour.",
    "- Every Internet Explorer clean-up item.",
    "- Pop-up windows and Flash banners killed, close-up events and timers disabled.",
    "- Browser and OS shielding, referrer blocking, IP masking (255.255.255.255)",
    "  and unsafe cookies disabled.",
    "- Your Windows clean-up choices and your custom lists are kept.",
};
constexpr const char* CustomNote = "Customize your settings so that you make sure that every "
                                   "thing is adapted according to your wish.";

} // namespace

ChoicePage::ChoicePage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Default or custom settings")
{
    controls().addCheckBox(DefaultBox, DefaultText, QRect(24, ContentTop + 8, 200, 10));
    controls().addLabel(DefaultsIntro, QRect(40, ContentTop + 24, 300, 10));
    int y = ContentTop + 36;
    for (const char* line : DefaultsList) {
        controls().addLabel(line, QRect(48, y, 370, 10));
        y += 11;
    }
    controls().addCheckBox(CustomBox, CustomText, QRect(24, y + 12, 200, 10));
    QLabel* note = controls().addLabel(CustomNote, QRect(40, y + 28, 370, 20));
    note->setWordWrap(true);
}

void ChoicePage::onCommand(UINT id, WORD)
{
    // A pair of radio buttons: the box clicked (or named by a posted command) is the
    // choice, the other is cleared.
    if (id == DefaultBox || id == CustomBox) {
        checkBox(id)->setChecked(true);
        checkBox(id == DefaultBox ? CustomBox : DefaultBox)->setChecked(false);
    }
}

void ChoicePage::onNext()
{
    if (checkBox(DefaultBox)->isChecked()) {
        applyDefaults(model());
        openNext(std::make_unique<FinishPage>(this, session()));
    } else if (checkBox(CustomBox)->isChecked()) {
        openNext(std::make_unique<ProxyChainPage>(this, session()));
    } else {
        MessageBox(hwnd(), NoSelection, WizardTitle, MB_OK | MB_ICONINFORMATION);
    }
}

} // namespace wizard::ui
