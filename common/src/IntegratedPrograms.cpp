#include <common/IntegratedPrograms.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Files.h>

#include <string>

namespace integration {

namespace {

constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* UninstallString = "UninstallString";
constexpr const char* MsnKey = "Software\\Microsoft\\MSNMessenger";
constexpr const char* MsnProgram = "Program Files\\MSN Messenger\\msnmsgr.exe";
constexpr const char* YahooKey = "Software\\Yahoo\\Pager";
constexpr const char* YahooUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Yahoo! Messenger";
constexpr const char* CuteFtpKey = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

// Yahoo Messenger's SOCKS entry on the local machine: port and version; MSN's proxy kind;
// the firewall kinds of the FTP programs; mIRC's method.
constexpr UINT YahooSocksPort = 80;
constexpr INT YahooSocksVersion = 4;
constexpr INT MsnProxyType = 4;
constexpr INT WsFtpFirewallType = 4;
constexpr INT CuteFtpFirewallType = 1;
constexpr const char* MircMethod = "proxy";

Presence uninstallEntry(HKEY root, const std::string& name)
{
    const settings::Key key = settings::Key::open(root, (UninstallKey + name).c_str());
    return key && key.readString(UninstallString, MAX_PATH) ? Presence::Found : Presence::Missing;
}

Presence msnMessenger()
{
    if (!settings::Key::open(HKEY_CURRENT_USER, MsnKey)) {
        return Presence::Missing;
    }
    // The messenger lies on the drive of the user's profile.
    char appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(0, appData, CSIDL_APPDATA, FALSE)) {
        return Presence::Missing;
    }
    const std::string program = std::string(appData).substr(0, 3) + MsnProgram;
    const HANDLE file = CreateFile(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Presence::Missing;
    }
    CloseHandle(file);
    return Presence::Found;
}

Presence yahooMessenger()
{
    if (!settings::Key::open(HKEY_CURRENT_USER, YahooKey)) {
        return Presence::Missing;
    }
    const settings::Key uninstall = settings::Key::open(HKEY_CURRENT_USER, YahooUninstallKey);
    if (!uninstall) {
        return Presence::Unknown;
    }
    return uninstall.readString(UninstallString, MAX_PATH) ? Presence::Found : Presence::Missing;
}

// The methods take writable 8-bit strings.
struct Text {
    explicit Text(const char* text) : value(text) {}
    char* get() { return value.data(); }
    std::string value;
};

} // namespace

const std::array<Program, ProgramCount> Programs = {{
    {"IntegrateWithIE", true, [] { return Presence::Found; },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetIEProxySettings(check, Text(LocalProxyHost).get(), port);
     }},
    {"IntegrateWithNetscape", true,
     [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Netscape (7.0)"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetNetscapeProxySettings(Text(LocalProxyHost).get(), port, check);
     }},
    {"IntegrateWithOpera", true, [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Opera"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetOperaProxySettings(check, Text(LocalProxyHost).get(), port);
     }},
    {"IntegrateWithMSNMessenger", true, msnMessenger,
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetMSNProxySettings(check, MsnProxyType, Text(LocalProxyHost).get(), port);
     }},
    {"IntegrateWithYahooMessenger", true, yahooMessenger,
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetYahooMessangerProxySettings(check, Text(LocalProxyHost).get(), port, 0,
                                                 Text(LocalProxyHost).get(), YahooSocksPort,
                                                 YahooSocksVersion);
     }},
    {"IntegrateWithMIRC", false, [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Mirc"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetMircProxySettings(check, Text(LocalProxyHost).get(), port,
                                       Text(MircMethod).get());
     }},
    {"IntegrateWithWS_FTP", false, [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "WS_FTP Pro"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetWS_FTPProxySettings(check, Text(LocalProxyHost).get(), port,
                                         WsFtpFirewallType);
     }},
    {"IntegrateWithCute_FTP", false,
     [] {
         return settings::Key::open(HKEY_CURRENT_USER, CuteFtpKey) ? Presence::Found
                                                                   : Presence::Missing;
     },
     [](rigwright::IConfiguration& o, LONG, UINT port) {
         return o.SetCute_FTPProxySettings(Text(LocalProxyHost).get(), port, CuteFtpFirewallType);
     }},
}};

unsigned localProxyPort()
{
    return settings::readDword(HKEY_LOCAL_MACHINE, settings::MainKey, settings::ProxyPortValue)
        .value_or(DefaultProxyPort);
}

ConfigurationObject::ConfigurationObject()
{
    // The caller's thread may not have entered COM.
    m_entered = SUCCEEDED(CoInitialize(nullptr));
    if (FAILED(CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                                rigwright::IID_IConfiguration,
                                reinterpret_cast<void**>(&m_object)))) {
        m_object = nullptr;
    }
}

ConfigurationObject::~ConfigurationObject()
{
    if (m_object != nullptr) {
        m_object->Release();
    }
    if (m_entered) {
        CoUninitialize();
    }
}

} // namespace integration
