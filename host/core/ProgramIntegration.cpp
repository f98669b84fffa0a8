#include "ProgramIntegration.h"

#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/MessageBox.h>
#include <platform/OleAuto.h>

#include <algorithm>
#include <memory>

namespace host {

namespace {

constexpr const char* LocalHost = LocalProxyHost;
constexpr const char* DesktopCaption = "Umbravia";
// Followed by one line per target that failed: its name and what went wrong.
constexpr const char* DesktopFailedText =
    "Umbravia could not change the proxy settings of this desktop; what was there is kept:";
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

// The Rigwright object, created by class identifier asking for IConfiguration, and called
// by method name through its type information (the dual interface's IDispatch part), so
// that each row's arguments reach the method converted to its declared types.
class RigwrightComponent final : public ConfigurationComponent {
public:
    static std::unique_ptr<ConfigurationComponent> create()
    {
        // The switch runs on the user-interface thread, which may not have entered COM.
        const bool entered = SUCCEEDED(CoInitialize(nullptr));
        rigwright::IConfiguration* object = nullptr;
        if (FAILED(CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                                    rigwright::IID_IConfiguration,
                                    reinterpret_cast<void**>(&object)))) {
            if (entered) {
                CoUninitialize();
            }
            return nullptr;
        }
        return std::unique_ptr<ConfigurationComponent>(new RigwrightComponent(object, entered));
    }
    ~RigwrightComponent() override
    {
        m_object->Release();
        if (m_entered) {
            CoUninitialize();
        }
    }
    RigwrightComponent(const RigwrightComponent&) = delete;
    RigwrightComponent& operator=(const RigwrightComponent&) = delete;

    void invoke(const IntegrationCall& call) override
    {
        const std::u16string name = platform::toUtf16(call.method);
        LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
            return;
        }
        // DISPPARAMS holds the arguments last first.
        std::vector<VARIANT> arguments(call.arguments.size());
        for (std::size_t i = 0; i < call.arguments.size(); ++i) {
            toVariant(call.arguments[i], arguments[arguments.size() - 1 - i]);
        }
        DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                         nullptr, nullptr);
        for (VARIANT& argument : arguments) {
            VariantClear(&argument);
        }
    }

private:
    RigwrightComponent(rigwright::IConfiguration* object, bool entered)
        : m_object(object), m_entered(entered)
    {}

    static void toVariant(const IntegrationArgument& argument, VARIANT& v)
    {
        VariantInit(&v);
        if (const long* number = std::get_if<long>(&argument)) {
            v.vt = VT_I4;
            v.lVal = static_cast<LONG>(*number);
        } else if (const int* kind = std::get_if<int>(&argument)) {
            v.vt = VT_INT;
            v.intVal = *kind;
        } else if (const unsigned* port = std::get_if<unsigned>(&argument)) {
            v.vt = VT_UINT;
            v.uintVal = *port;
        } else {
            const std::u16string text = platform::toUtf16(std::get<std::string>(argument));
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(text.c_str());
        }
    }

    rigwright::IConfiguration* m_object;
    bool m_entered;
};

std::unique_ptr<ConfigurationComponent> createConfigurationComponent()
{
    return RigwrightComponent::create();
}

} // namespace

std::vector<IntegrationCall> integrationCalls(bool on)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    const unsigned port = localProxyPort();
    std::vector<IntegrationCall> calls;
    for (const IntegrationRow& row : Rows) {
        if (key && key.readDword(row.value) == 1u) {
            calls.push_back({row.value, row.method, row.arguments(on ? 1 : 0, port)});
        }
    }
    return calls;
}

bool SwitchResult::desktopFailed() const
{
    return std::any_of(targets.begin(), targets.end(),
                       [](const desktop::Report& report) { return !report.result.ok(); });
}

SwitchResult switchProgramIntegration(bool on, DesktopPart desktopPart)
{
    SwitchResult result;
    if (desktopPart == DesktopPart::Included) {
        result.targets =
            on ? desktop::DesktopIntegration::switchOn(localProxyPort(), desktop::storedChoices())
               : desktop::DesktopIntegration::switchOff();
        reportDesktopFailures(result.targets);
    }
    // The component comes next: without it no program of the prefix is read or touched.
    const std::unique_ptr<ConfigurationComponent> component = createConfigurationComponent();
    if (!component) {
        result.programs = IntegrationOutcome::ComponentMissing;
        return result;
    }
    for (const IntegrationCall& call : integrationCalls(on)) {
        component->invoke(call);
    }
    return result;
}

std::vector<desktop::Report> applyDesktopChoices()
{
    // A missing ACTIVE is a proxy that runs, as the start-up reads it.
    const bool running =
        settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::ActiveValue)
            .value_or(1) != 0;
    std::vector<desktop::Report> reports =
        running ? desktop::DesktopIntegration::switchOn(localProxyPort(), desktop::storedChoices())
                : desktop::DesktopIntegration::switchOff();
    reportDesktopFailures(reports);
    return reports;
}

std::vector<desktop::Report> followProxyPort()
{
    if (!desktop::DesktopIntegration::journalPending()) {
        return {};
    }
    std::vector<desktop::Report> reports =
        desktop::DesktopIntegration::switchOn(localProxyPort(), desktop::storedChoices());
    reportDesktopFailures(reports);
    return reports;
}

std::vector<desktop::Report> switchDesktopOff()
{
    if (!desktop::DesktopIntegration::journalPending()) {
        return {};
    }
    std::vector<desktop::Report> reports = desktop::DesktopIntegration::switchOff();
    reportDesktopFailures(reports);
    return reports;
}

std::vector<desktop::Report> recoverDesktopIntegration()
{
    std::vector<desktop::Report> reports = desktop::DesktopIntegration::recoverFromJournal();
    reportDesktopFailures(reports);
    return reports;
}

bool reportDesktopFailures(const std::vector<desktop::Report>& reports)
{
    std::string text;
    for (const desktop::Report& report : reports) {
        if (!report.result.ok()) {
            text += std::string("\n") + desktop::targetName(report.target) + ": " +
                    report.result.message;
        }
    }
    if (text.empty()) {
        return false;
    }
    MessageBox(0, (DesktopFailedText + text).c_str(), DesktopCaption, MB_OK | MB_ICONWARNING);
    return true;
}

} // namespace host
