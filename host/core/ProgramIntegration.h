#pragma once
// The program integration switch: points the programs the user chose on the integration
// page (IntegrateWith* = 1) at the local proxy, "127.0.0.1" on PROXYPORT, or takes them
// off it. The work is done by the configuration component (Rigwright); the switch only
// decides which of its methods to call, and with what.

#include <common/IntegratedPrograms.h>

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

// Every switch of the integration goes through here (the general page's Start/Stop, the
// main window's start-up and exit steps). Without the configuration component it reads
// and changes nothing.
IntegrationOutcome switchProgramIntegration(bool on);

} // namespace host
