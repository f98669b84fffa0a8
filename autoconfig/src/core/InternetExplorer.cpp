#include "core/InternetExplorer.h"

#include "core/RegBackupFile.h"
#include "core/Report.h"

#include <common/Settings.h>
#include <platform/RegFile.h>
#include <platform/Registry.h>

#include <array>

namespace rigwright {

namespace {

constexpr const char* kNotFound = "Failed To Locate Internet Explorer";
// Opened with a trailing backslash, as the configurator always has.
constexpr const char* kSettingsKeyOpen =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";
constexpr const char* kConnectionsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr const char* kDefaultUserConnectionsKey =
    ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr const char* kBackupConnections = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                                           "CurrentVersion\\Internet Settings\\Connections";
constexpr const char* kBackupDefaultConnections =
    "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
    "Settings\\Connections";
constexpr DWORD kMaxProxyServer = 1024;
constexpr DWORD kMaxValueName = 260;

void appendLittleEndian(std::string& out, DWORD value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// Every value of the key gets the blob, whatever its name and type; a value whose name
// cannot be read is passed over.
void overwriteConnections(HKEY root, const char* path, const std::string& blob)
{
    settings::Key key = settings::Key::open(root, path, KEY_ALL_ACCESS);
    if (!key) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        std::array<char, kMaxValueName + 1> name{};
        DWORD nameLength = static_cast<DWORD>(name.size());
        LONG rc = RegEnumValue(key.get(), index, name.data(), &nameLength, nullptr, nullptr,
                               nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc == ERROR_SUCCESS) {
            RegSetValueEx(key.get(), name.data(), 0, REG_BINARY,
                          reinterpret_cast<const BYTE*>(blob.data()),
                          static_cast<DWORD>(blob.size()));
        }
    }
}

} // namespace

HRESULT InternetExplorer::load()
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kSettingsKeyOpen, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFound, kCaption);
    }
    if (key.readDword("ProxyEnable").value_or(0) != 0) {
        (void)key.readString("ProxyServer", kMaxProxyServer);
    }
    return kOk;
}

HRESULT InternetExplorer::set(LONG enableProxy, const char* host, UINT port)
{
    {
        settings::Key key =
            settings::Key::open(HKEY_CURRENT_USER, kSettingsKeyOpen, KEY_ALL_ACCESS);
        if (!key) {
            return reportFailure(kNotFound, kCaption);
        }
        if (key.writeDword("ProxyEnable", static_cast<DWORD>(enableProxy)) == ERROR_SUCCESS) {
            key.writeString("ProxyServer", std::string(host) + ":" + std::to_string(port));
        }
    }
    const std::string blob = connectionBlob(enableProxy, port);
    overwriteConnections(HKEY_CURRENT_USER, kConnectionsKey, blob);
    overwriteConnections(HKEY_USERS, kDefaultUserConnectionsKey, blob);
    return kOk;
}

std::string InternetExplorer::connectionBlob(LONG enableProxy, UINT port)
{
    const std::string proxy = "127.0.0.1:" + std::to_string(port);
    std::string blob;
    appendLittleEndian(blob, 0x3C);
    appendLittleEndian(blob, 4);
    appendLittleEndian(blob, enableProxy != 0 ? 3 : 1);
    appendLittleEndian(blob, static_cast<DWORD>(proxy.size()));
    blob += proxy;
    blob.append(36, '\0');
    return blob;
}

bool InternetExplorer::writeBackup(const std::string& path)
{
    return RegBackupFile::writeKey(
        path, kSettingsKey, [](RegBackupFile& file, const settings::Key& key) {
            file.dword("ProxyEnable", key.readDword("ProxyEnable"));
            file.text("ProxyServer", key.readString("ProxyServer"));
            // The connection values go along: they, not ProxyEnable, tell Internet
            // Explorer 5 and later to use the proxy, so a restore must take them back too.
            for (const char* connections : {kBackupConnections, kBackupDefaultConnections}) {
                platform::Result<std::string> text = platform::regfile::exportText(connections);
                if (text && text->find('[') != std::string::npos) {
                    file.keys(std::string_view(*text).substr(text->find('[')));
                }
            }
        });
}

} // namespace rigwright
