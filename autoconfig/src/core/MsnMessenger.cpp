#include "core/MsnMessenger.h"

#include "core/RegBackupFile.h"
#include "core/Report.h"

#include <common/Settings.h>

namespace rigwright {

namespace {

constexpr const char* kNotFound =
    "Failed To Locate MSN Messenger, Please Check That MSN Messenger Is Correctly Installed";
constexpr DWORD kMaxProxy = 1024;

LONG writeBinary(const settings::Key& key, const char* name, DWORD value)
{
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return RegSetValueEx(key.get(), name, 0, REG_BINARY, bytes, sizeof bytes);
}

} // namespace

HRESULT MsnMessenger::load()
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFound, kCaptionShort);
    }
    bool complete = key.readDword("ProxyState") && key.readDword("ProxyType") &&
                    key.readString("HTTPProxy", kMaxProxy) && key.readDword("HTTPPort");
    return complete ? kOk : kFalse;
}

HRESULT MsnMessenger::set(LONG proxyState, int proxyType, const char* httpProxy, UINT proxyPort)
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFound, kCaptionShort);
    }
    // Each value only after the one before it was written; a failure is not reported.
    (void)(writeBinary(key, "ProxyState", static_cast<DWORD>(proxyState)) == ERROR_SUCCESS &&
           writeBinary(key, "ProxyType", static_cast<DWORD>(proxyType)) == ERROR_SUCCESS &&
           key.writeString("HTTPProxy", httpProxy) == ERROR_SUCCESS &&
           writeBinary(key, "HTTPPort", proxyPort) == ERROR_SUCCESS);
    return kOk;
}

bool MsnMessenger::writeBackup(const std::string& path)
{
    return RegBackupFile::writeKey(path, kKey, [](RegBackupFile& file, const settings::Key& key) {
        // The stored bytes as they are, so that the restore puts back the same value
        // (the port as "hex:90,1f,00,00", never as a bare number).
        file.bytes("ProxyState", readValueBytes(key.get(), "ProxyState"));
        file.bytes("ProxyType", readValueBytes(key.get(), "ProxyType"));
        file.bytes("HTTPPort", readValueBytes(key.get(), "HTTPPort"));
        file.text("HTTPProxy", key.readString("HTTPProxy"));
    });
}

} // namespace rigwright
