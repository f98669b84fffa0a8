#include "ProgramRestore.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>

#include <core/FileEdit.h>
#include <core/IniText.h>
#include <core/InternetExplorer.h>
#include <core/Locations.h>
#include <core/MsnMessenger.h>
#include <core/Netscape.h>
#include <core/Opera.h>
#include <core/Report.h>
#include <core/YahooMessenger.h>

#include <array>
#include <utility>

namespace uninstall {

namespace {

using RestoreFn = void (*)();

struct IntegratedProgram {
    const char* value;
    RestoreFn restore;
};

// The order the restores run in.
constexpr std::array<IntegratedProgram, 5> Programs = {{
    {"IntegrateWithIE", &ProgramRestore::internetExplorer},
    {"IntegrateWithNetscape", &ProgramRestore::netscape},
    {"IntegrateWithOpera", &ProgramRestore::opera},
    {"IntegrateWithMSNMessenger", &ProgramRestore::msnMessenger},
    {"IntegrateWithYahooMessenger", &ProgramRestore::yahooMessenger},
}};

constexpr std::size_t ConnectionRecordSize = 52;
constexpr std::array<const char*, 4> MsnValues = {"ProxyState", "ProxyType", "HTTPProxy",
                                                  "HTTPPort"};
constexpr std::array<const char*, 3> YahooValues = {"Proxy Enabled", "HTTP Proxy", "Proxy Port"};

void deleteValues(const char* key, const auto& names)
{
    for (const char* name : names) {
        SHDeleteValue(HKEY_CURRENT_USER, key, name);
    }
}

// Reads, edits and replaces the file through a temporary beside it; a file that cannot
// be opened or replaced is reported.
void restoreFile(const std::string& target, const std::string& temporary,
                 std::string (*edit)(std::string), const char* openNote)
{
    platform::Result<void> done = rigwright::editFile(target, temporary, edit, openNote);
    if (!done) {
        rigwright::reportFailure(done.error().message, rigwright::kCaption);
    }
}

} // namespace

void ProgramRestore::restoreIntegrated()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    std::array<bool, Programs.size()> integrated{};
    for (std::size_t i = 0; i < Programs.size(); ++i) {
        integrated[i] = key && key.readDword(Programs[i].value) == 1u;
    }
    key.reset();
    for (std::size_t i = 0; i < Programs.size(); ++i) {
        if (integrated[i]) {
            Programs[i].restore();
        }
    }
}

std::string ProgramRestore::directConnectionRecord()
{
    std::string record(ConnectionRecordSize, '\0');
    record[0] = 0x3C; // the record's version field
    record[4] = 8;
    record[8] = 1; // direct connection, no proxy
    return record;
}

void ProgramRestore::internetExplorer()
{
    using rigwright::InternetExplorer;
    SHDeleteValue(HKEY_CURRENT_USER, InternetExplorer::kSettingsKey, "ProxyEnable");
    SHDeleteValue(HKEY_CURRENT_USER, InternetExplorer::kSettingsKey, "ProxyServer");
    const std::string record = directConnectionRecord();
    InternetExplorer::overwriteConnections(HKEY_CURRENT_USER, InternetExplorer::kConnectionsKey,
                                           record);
    if (!InternetExplorer::overwriteConnections(
            HKEY_USERS, InternetExplorer::kDefaultUserConnectionsKey, record)) {
        MessageBox(0, NoConnectionsText, rigwright::kCaption, MB_OK | MB_ICONINFORMATION);
    }
}

std::string ProgramRestore::editNetscapePrefs(std::string text)
{
    using rigwright::Netscape;
    rigwright::IniText prefs(std::move(text));
    const std::array<std::pair<const char*, const char*>, 3> preferences = {{
        {Netscape::TypeKey, "0"},
        {Netscape::HostKey, "127.0.0.1\""},
        {Netscape::PortKey, "8080"},
    }};
    for (const auto& [key, value] : preferences) {
        const std::string line = std::string(key) + value + ");";
        if (!prefs.replaceLine(key, line)) {
            prefs.append(line + "\n");
        }
    }
    return prefs.text();
}

void ProgramRestore::netscape()
{
    using rigwright::Netscape;
    if (!rigwright::uninstallString(Netscape::UninstallKey)) {
        rigwright::reportFailure(Netscape::NotFoundText, rigwright::kCaption);
        return;
    }
    const Netscape::ProfileFiles files = Netscape::profileFiles();
    restoreFile(files.preferences, files.temporary, &editNetscapePrefs, Netscape::OtherVersionNote);
}

std::string ProgramRestore::editOperaIni(std::string text)
{
    rigwright::IniText ini(std::move(text));
    ini.replaceLine("Use HTTP=", "Use HTTP=0");
    ini.replaceLine("HTTP Server", "HTTP Server=127.0.0.1:8080");
    return ini.text();
}

void ProgramRestore::opera()
{
    using rigwright::Opera;
    std::optional<std::string> folder =
        rigwright::locateInstallFolder(Opera::UninstallKey, Opera::installMarker());
    if (!folder) {
        rigwright::reportFailure(Opera::NotFoundText, rigwright::kCaption);
        return;
    }
    restoreFile(*folder + "\\Opera6.ini", *folder + "\\Opera6.bak", &editOperaIni,
                Opera::OtherVersionNote);
}

void ProgramRestore::msnMessenger()
{
    deleteValues(rigwright::MsnMessenger::kKey, MsnValues);
}

void ProgramRestore::yahooMessenger()
{
    deleteValues(rigwright::YahooMessenger::kKey, YahooValues);
}

} // namespace uninstall
