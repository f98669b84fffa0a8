#include "WelcomePage.h"

#include "ProgramsPage.h"

#include <QLabel>

namespace wizard::ui {

namespace {

constexpr const char* Lines[] = {
    "- Thanks for choosing our program.",
    "- This will configure Umbravia for your computer.",
    "- It's recommended to close all other applications you",
    "have running before continuing. This help prevent any",
    "conflicts during the configuration process.",
    "- Click Next to continue or cancel to exit Umbravia",
    "configuration wizard.",
};
constexpr int TextPixels = 17;

} // namespace

WelcomePage::WelcomePage(Session& session) : WizardPage(nullptr, session, ResourceId, "Welcome")
{
    QFont text(WelcomeFont);
    text.setPixelSize(TextPixels);
    int y = ContentTop + 14;
    int line = 0;
    for (const char* row : Lines) {
        // A new point starts a little lower; a line that goes on a point is indented.
        const bool point = row[0] == '-';
        y += point && line > 0 ? 6 : 0;
        QLabel* label = controls().addLabel(row, QRect(point ? 40 : 47, y, 380, 14));
        label->setFont(text);
        label->setObjectName(QString("line%1").arg(line++));
        y += 14;
    }
}

void WelcomePage::onNext()
{
    openNext(std::make_unique<ProgramsPage>(this, session()));
}

} // namespace wizard::ui
