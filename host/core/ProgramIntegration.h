#pragma once
// The program integration switch: points the programs the user chose on the integration
// page (IntegrateWith* = 1) at the local proxy, "127.0.0.1" on PROXYPORT, or takes them
// off it. The work is done by the configuration component (Rigwright); the switch only
// decides which of its methods to call, and with what. The same switch runs the desktop
// the suite runs on (GNOME, KDE, Firefox, the login environment: desktop/), so that
// every route that turns the integration on or off turns both.

#include <common/IntegratedPrograms.h>

#include <desktop/DesktopIntegration.h>

#include <string>
#include <variant>
#include <vector>

namespace host {

// Where the programs are pointed: the local proxy on PROXYPORT (8080 when absent).
inline constexpr const char* LocalProxyHost = integration::LocalProxyHost;
using integration::localProxyPort;

enum class IntegrationOutcome {
    Done,             // the component ran every selected program's method
    ComponentMissing, // the configuration component could not be created: nothing changed
};

// One argument of a configuration method: switches are long, counts and kinds int, ports
// unsigned int, host names and methods 8-bit strings.
using IntegrationArgument = std::variant<long, int, unsigned, std::string>;

struct IntegrationCall {
    const char* value;  // the IntegrateWith* value that selected the program
    const char* method; // the configuration component's method
    std::vector<IntegrationArgument> arguments;
};

// The calls one switch makes, in the fixed program order: one for every IntegrateWith*
// value that is exactly 1 (a missing value is not selected), all with the port from
// PROXYPORT (8080 when absent).
std::vector<IntegrationCall> integrationCalls(bool on);

// Whether a switch also runs the desktop's targets. The start-up step leaves them alone
// while the proxy does not run: the desktop's own programs would otherwise be pointed at
// a port where nothing answers.
enum class DesktopPart { Included, Left };

struct SwitchResult {
    IntegrationOutcome programs = IntegrationOutcome::Done;
    std::vector<desktop::Report> targets; // one per desktop target touched
    bool desktopFailed() const;
};

// Every switch of the integration goes through here (the general page's Start/Stop, the
// main window's start-up and exit steps, umbravia-ctl through the main window). Without
// the configuration component no program of the prefix is read or changed; the desktop's
// targets are switched all the same (the chosen ones, IntegrateWithDesktop and the
// others: a missing value is on when the target is there). A desktop target that cannot
// be switched is reported in a message box; the others are switched regardless.
SwitchResult switchProgramIntegration(bool on, DesktopPart desktopPart = DesktopPart::Included);

// The desktop's targets after their choices changed (the integration dialog's Apply):
// while the proxy runs (ACTIVE is not 0) the chosen ones are pointed at it and the others
// taken off; while it does not, every target is taken off. Failures as above.
std::vector<desktop::Report> applyDesktopChoices();

// After the proxy moved to another port (a restart): targets still pointed at the proxy
// follow it to PROXYPORT. Nothing happens while none is.
std::vector<desktop::Report> followProxyPort();

// At start-up, before the integration is switched on: a journal left by a host that ended
// without its exit step (a crash, a power loss) is restored first. Failures as above.
std::vector<desktop::Report> recoverDesktopIntegration();

// The process end's safety net: whatever of the desktop is still pointed at the proxy
// (a host that ends at once because its proxy cannot start again) is restored. Nothing
// happens after a normal exit step, which has restored it already.
std::vector<desktop::Report> switchDesktopOff();

// The message box for the desktop targets that failed ("Umbravia" caption, warning
// icon); nothing when none did. Returns whether one did.
bool reportDesktopFailures(const std::vector<desktop::Report>& reports);

} // namespace host
