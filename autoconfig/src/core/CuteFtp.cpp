#include "core/CuteFtp.h"

#include "core/RegBackupFile.h"
#include "core/Report.h"

#include <common/Settings.h>

namespace rigwright {

namespace {

constexpr const char* kNotFound =
    "Failed To Locate Cute FTP, Please Check That Cute FTP Is Correctly Installed";
constexpr DWORD kMaxHost = 1024;

} // namespace

HRESULT CuteFtp::load()
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFound, kCaptionShort);
    }
    bool complete = key.readString("FireHost", kMaxHost) && key.readDword("FirePort") &&
                    key.readDword("FireType");
    return complete ? kOk : kFalse;
}

HRESULT CuteFtp::set(const char* fireHost, UINT firePort, int fireType)
{
    settings::Key key = settings::Key::open(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS);
    if (!key) {
        return reportFailure(kNotFound, kCaptionShort);
    }
    bool written = key.writeString("FireHost", fireHost) == ERROR_SUCCESS &&
                   key.writeDword("FirePort", firePort) == ERROR_SUCCESS &&
                   key.writeDword("FireType", static_cast<DWORD>(fireType)) == ERROR_SUCCESS;
    return written ? kOk : kFalse;
}

bool CuteFtp::writeBackup(const std::string& path)
{
    return RegBackupFile::writeKey(path, kKey, [](RegBackupFile& file, const settings::Key& key) {
        file.text("FireHost", key.readString("FireHost"));
        file.shortDword("FirePort", key.readDword("FirePort"));
        file.shortDword("FireType", key.readDword("FireType"));
    });
}

} // namespace rigwright
