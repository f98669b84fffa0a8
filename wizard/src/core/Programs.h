#pragma once
// The programs and general page without its widgets: which programs are installed, the
// stored choices, and what Next does with them (backup, integration through Rigwright,
// the IntegrateWith*, EnableAlerts and ShowIEToolbar values, the toolbar, the Run key).
// Detection and the configuration calls are the ones the host's integration dialog uses.

#include <platform/WinTypes.h>

#include <desktop/Autostart.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>

namespace wizard {

struct StartContext;

// The programs in the page's order (also the order of BackupConfiguration's switches).
enum class Program : std::size_t {
    InternetExplorer = 0,
    Netscape,
    Opera,
    MsnMessenger,
    YahooMessenger,
    Mirc,
    WsFtp,
    CuteFtp,
};
inline constexpr std::size_t ProgramCount = 8;

constexpr std::size_t index(Program program)
{
    return static_cast<std::size_t>(program);
}

inline constexpr const char* BackupQuestion =
    "Do you want Umbravia to backup your proxy configuration before applying your new proxy "
    "configuration";
inline constexpr const char* ComInstanceFailed = "Unable To Create COM Instance";
inline constexpr const char* EnableAlertsValue = "EnableAlerts";
inline constexpr const char* ShowToolbarValue = "ShowIEToolbar";
// "Run Umbravia when Windows starts.": the main program's path under this value.
inline constexpr const char* RunKey = desktop::RunKey;
inline constexpr const char* RunValue = desktop::RunValue;

// What the page shows: one box per program (a program that is not installed has its box
// disabled) and the three general boxes.
struct ProgramsPageState {
    std::array<bool, ProgramCount> installed{};
    std::array<bool, ProgramCount> checked{};
    bool runAtStartup = true; // "Run Umbravia when Windows starts."
    bool enableAlerts = true; // EnableAlerts
    bool showToolbar = true;  // ShowIEToolbar

    bool isInstalled(Program p) const { return installed[index(p)]; }
    bool isChecked(Program p) const { return checked[index(p)]; }
};

// The page as it opens: the general boxes on, detection (found programs checked, the
// others cleared), then the stored IntegrateWith*, EnableAlerts and ShowIEToolbar values.
// Internet Explorer always counts as installed.
ProgramsPageState loadProgramsPage();

// Next, after the page's own checks: the backup question (owner's box), on Yes
// BackupConfiguration with the five visible programs' boxes; hidePage (when given) runs
// then; then the integration calls for the installed programs, the values, the toolbar
// step (regsvr32 on UmbraIEPlugin.dll in the wizard's folder) and the Run key. A program
// whose call answers 1 has its box cleared. Returns the boxes after the calls.
ProgramsPageState applyProgramsPage(HWND owner, const ProgramsPageState& state,
                                    const StartContext& context,
                                    const std::function<void()>& hidePage = {});

} // namespace wizard
