// Umbravia Settings Wizard.exe: the start-up of the core (registration on a first run,
// the main program's path, the settings model), then the welcome page, modally. The
// program ends when the welcome page returns: finished, left, or cancelled from any page.

#include "core/SettingsModel.h"
#include "core/Startup.h"
#include "ui/Session.h"
#include "ui/WelcomePage.h"

#include <common/ui/Resources.h>
#include <platform/Application.h>
#include <platform/MessageBox.h>

#include <QApplication>

#include <exception>
#include <string>

namespace {

constexpr const char* StoppedText = "The settings wizard stopped unexpectedly: ";

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    app.qt().setWindowIcon(pageui::Resources::icon(pageui::Resources::MainIcon));
    try {
        wizard::ui::Session session;
        session.start = wizard::startUp(argc, argv, session.model);
        wizard::ui::WelcomePage welcome(session);
        welcome.run();
    } catch (const std::exception& error) {
        // Nothing half done is hidden: the user learns that the wizard did not finish.
        MessageBox(0, (std::string(StoppedText) + error.what()).c_str(), wizard::ui::WizardTitle,
                   MB_OK | MB_ICONERROR);
        return 1;
    }
    return 0;
}
