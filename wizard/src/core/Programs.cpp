#include "Programs.h"

#include "SettingsModel.h"
#include "Startup.h"

#include <common/BrowserKeys.h>
#include <common/IntegratedPrograms.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <desktop/Autostart.h>

#include <optional>

namespace wizard {

namespace {

static_assert(ProgramCount == integration::ProgramCount);

// The five programs the page shows; mIRC, WS_FTP and CuteFTP are neither backed up nor
// configured from here.
constexpr std::size_t ShownPrograms = 5;

void showError(HWND owner, const char* text)
{
    MessageBox(owner, text, WizardCaption, MB_OK | MB_ICONERROR);
}

void backUp(const ProgramsPageState& state)
{
    const integration::ConfigurationObject configuration;
    if (configuration.get() == nullptr) {
        return; // a failed backup is silent
    }
    const auto box = [&state](Program p) -> LONG {
        return state.isChecked(p) ? 1 : 0;
    };
    configuration.get()->BackupConfiguration(box(Program::InternetExplorer), box(Program::Netscape),
                                             box(Program::Opera), box(Program::MsnMessenger),
                                             box(Program::YahooMessenger), 0, 0, 0);
}

// Internet Explorer always, the other shown programs when installed. Anything but S_OK
// clears the box: the program was not pointed at the proxy.
void configurePrograms(HWND owner, ProgramsPageState& state, UINT port)
{
    const integration::ConfigurationObject configuration;
    if (configuration.get() == nullptr) {
        showError(owner, ComInstanceFailed);
        return;
    }
    for (std::size_t i = 0; i < ShownPrograms; ++i) {
        if (!state.installed[i]) {
            continue;
        }
        const LONG check = state.checked[i] ? 1 : 0;
        if (integration::Programs[i].configure(*configuration.get(), check, port) != S_OK) {
            state.checked[i] = false;
        }
    }
}

void writeChoices(const settings::Key& main, const ProgramsPageState& state)
{
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        const bool on = state.installed[i] && state.checked[i];
        main.writeDword(integration::Programs[i].value, on ? 1 : 0);
    }
    main.writeDword(EnableAlertsValue, state.enableAlerts ? 1 : 0);
    main.writeDword(ShowToolbarValue, state.showToolbar ? 1 : 0);
}

void writeRunValue(bool on, const StartContext& context)
{
    const std::string program = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey)
                                    .readString(nullptr, MAX_PATH)
                                    .value_or(context.mainProgramPath);
    const settings::Key run = settings::Key::create(HKEY_CURRENT_USER, RunKey);
    if (!run) {
        return;
    }
    if (on) {
        run.writeStringNoZero(RunValue, program);
    } else {
        RegDeleteValue(run.get(), RunValue);
    }
    // The desktop session starts what its autostart entry names, not the Run value.
    if (const desktop::Result mirrored = desktop::mirrorAutostart(); !mirrored) {
        MessageBox(0, (std::string(desktop::AutostartFailedText) + mirrored.message).c_str(),
                   WizardCaption, MB_OK | MB_ICONWARNING);
    }
}

} // namespace

ProgramsPageState loadProgramsPage()
{
    ProgramsPageState state;
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        const bool found = integration::Programs[i].detect() == integration::Presence::Found;
        state.installed[i] = found;
        state.checked[i] = found;
    }
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!main) {
        return state;
    }
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        if (const std::optional<DWORD> stored = main.readDword(integration::Programs[i].value)) {
            state.checked[i] = *stored != 0;
        }
    }
    if (const std::optional<DWORD> stored = main.readDword(EnableAlertsValue)) {
        state.enableAlerts = *stored != 0;
    }
    if (const std::optional<DWORD> stored = main.readDword(ShowToolbarValue)) {
        state.showToolbar = *stored != 0;
    }
    return state;
}

ProgramsPageState applyProgramsPage(HWND owner, const ProgramsPageState& page,
                                    const StartContext& context,
                                    const std::function<void()>& hidePage)
{
    ProgramsPageState state = page;
    if (MessageBox(owner, BackupQuestion, WizardCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        backUp(state);
    }
    if (hidePage) {
        hidePage();
    }
    {
        const settings::Key main =
            settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
        if (!main) {
            showError(owner, InvalidRegistryDataSave);
            return state;
        }
        const UINT port = main.readDword(settings::ProxyPortValue).value_or(DefaultProxyPort);
        configurePrograms(owner, state, port);
        writeChoices(main, state);
    }
    browserkeys::switchToolbar(owner, state.showToolbar,
                               context.folder + browserkeys::ToolbarPlugin);
    writeRunValue(state.runAtStartup, context);
    return state;
}

} // namespace wizard
