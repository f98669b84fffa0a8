#include "ProgramIntegration.h"

#include <common/Settings.h>

#include <memory>

namespace host {

namespace {

constexpr const char* LocalHost = "127.0.0.1";
constexpr const char* PortValue = settings::ProxyPortValue;
constexpr unsigned DefaultPort = 8080;
// Yahoo Messenger also gets a SOCKS entry on the local machine; its port and version.
constexpr unsigned YahooSocksPort = 80;
constexpr int YahooSocksVersion = 4;
constexpr int MsnProxyType = 4;
constexpr int WsFtpFirewallType = 4;
constexpr int CuteFtpFirewallType = 1;
constexpr const char* MircMethod = "proxy";

using Arguments = std::vector<IntegrationArgument>;

struct IntegrationRow {
    const char* value;
    const char* method;
    Arguments (*arguments)(long on, unsigned port);
};

// The programs in the order they are switched, each with its method and arguments.
// CuteFTP is always given the local proxy: its method has no switch of its own.
constexpr IntegrationRow Rows[] = {
    {"IntegrateWithIE", "SetIEProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, LocalHost, port};
     }},
    {"IntegrateWithNetscape", "SetNetscapeProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {LocalHost, port, on};
     }},
    {"IntegrateWithOpera", "SetOperaProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, LocalHost, port};
     }},
    {"IntegrateWithMSNMessenger", "SetMSNProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, MsnProxyType, LocalHost, port};
     }},
    {"IntegrateWithYahooMessenger", "SetYahooMessangerProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, LocalHost, port, on, LocalHost, YahooSocksPort, YahooSocksVersion};
     }},
    {"IntegrateWithMIRC", "SetMircProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, LocalHost, port, MircMethod};
     }},
    {"IntegrateWithWS_FTP", "SetWS_FTPProxySettings",
     [](long on, unsigned port) -> Arguments {
         return {on, LocalHost, port, WsFtpFirewallType};
     }},
    {"IntegrateWithCute_FTP", "SetCute_FTPProxySettings",
     [](long, unsigned port) -> Arguments {
         return {LocalHost, port, CuteFtpFirewallType};
     }},
};

// The configuration component as the switch uses it: one call per selected program.
class ConfigurationComponent {
public:
    virtual ~ConfigurationComponent() = default;
    // Results are not examined: a program that cannot be configured is the component's
    // to report.
    virtual void invoke(const IntegrationCall& call) = 0;
};

// The Rigwright object, class {675DCB32-8482-452F-8BDD-5E98C19ED609}. The component and
// the COM runtime that creates it are not part of this build yet, so it is never there.
std::unique_ptr<ConfigurationComponent> createConfigurationComponent()
{
    return nullptr;
}

} // namespace

std::vector<IntegrationCall> integrationCalls(bool on)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    const unsigned port = key ? key.readDword(PortValue).value_or(DefaultPort) : DefaultPort;
    std::vector<IntegrationCall> calls;
    for (const IntegrationRow& row : Rows) {
        if (key && key.readDword(row.value) == 1u) {
            calls.push_back({row.value, row.method, row.arguments(on ? 1 : 0, port)});
        }
    }
    return calls;
}

IntegrationOutcome switchProgramIntegration(bool on)
{
    // The component comes first: without it nothing is read and no program is touched.
    const std::unique_ptr<ConfigurationComponent> component = createConfigurationComponent();
    if (!component) {
        return IntegrationOutcome::ComponentMissing;
    }
    for (const IntegrationCall& call : integrationCalls(on)) {
        component->invoke(call);
    }
    return IntegrationOutcome::Done;
}

} // namespace host
