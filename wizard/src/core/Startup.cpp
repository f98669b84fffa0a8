#include "Startup.h"

#include "SettingsModel.h"

#include <common/FirstRun.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <cstring>

namespace wizard {

namespace {

// The folder in front of the wizard's own file name; the path's folder when the program
// was renamed.
std::string folderOf(const std::string& programPath)
{
    const std::size_t at = programPath.find(WizardProgramName);
    if (at != std::string::npos) {
        return programPath.substr(0, at);
    }
    const std::size_t slash = programPath.find_last_of('\\');
    return slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
}

void registerOnFirstRun(const std::string& folder)
{
    const settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!main) {
        return;
    }
    if (main.readDword(settings::IsRegisteredValue).value_or(0) == 0) {
        (void)firstrun::registerSuite(folder);
    }
}

void writeMainProgramPath(const std::string& path)
{
    if (const settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)) {
        main.writeStringNoZero(nullptr, path);
    }
}

} // namespace

StartContext startContext(int argc, char** argv)
{
    StartContext context;
    const char* self = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    context.folder = folderOf(platform::programPathFromArgv0(self).str());
    context.mainProgramPath = context.folder + MainProgramName;
    context.startedByHost =
        argc > 1 && argv[1] != nullptr && std::strcmp(argv[1], StartedByHostArgument) == 0;
    return context;
}

StartContext startUp(int argc, char** argv, SettingsModel& model)
{
    if (FAILED(OleInitialize(nullptr))) {
        MessageBox(0, OleFailedText, WizardCaption, MB_OK | MB_ICONERROR);
    }
    StartContext context = startContext(argc, argv);
    registerOnFirstRun(context.folder);
    writeMainProgramPath(context.mainProgramPath);
    loadSettings(model);
    return context;
}

} // namespace wizard
