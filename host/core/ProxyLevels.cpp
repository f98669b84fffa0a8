#include "ProxyLevels.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

namespace host {

namespace {

constexpr const char* MainCaption = "Umbravia";
constexpr const char* ChainCaption = "Proxy Chain Settings";
constexpr const char* ResponseCaption = "Response Filteration";
constexpr const char* RequestCaption = "Request Filteration";
constexpr const char* MainKeyMissing = "Inavlid registry data";
constexpr const char* WriteFailed = "Inavlis registry data";
constexpr const char* ModuleKeyMissing = "Invalide registry data";

void showError(HWND owner, const char* text, const char* caption)
{
    MessageBox(owner, text, caption, MB_OK | MB_ICONERROR);
}

// Writes the level into the main key; false (after the message) when that failed.
bool writeLevel(HWND owner, const char* name, int level, const char* openFailure)
{
    const settings::Key main =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    if (!main) {
        showError(owner, openFailure, MainCaption);
        return false;
    }
    if (main.writeDword(name, static_cast<DWORD>(level)) != ERROR_SUCCESS) {
        showError(owner, WriteFailed, MainCaption);
        return false;
    }
    return true;
}

// Writes the DWORD into an existing module key; the message when the key is missing.
void switchOn(HWND owner, const char* path, const char* name, const char* caption)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS);
    if (!key) {
        showError(owner, ModuleKeyMissing, caption);
        return;
    }
    key.writeDword(name, 1);
}

} // namespace

void writeAnonymityLevel(HWND owner, int level)
{
    if (!writeLevel(owner, settings::AnonymityLevelValue, level, MainKeyMissing)) {
        return;
    }
    if (level >= 1) {
        switchOn(owner, settings::ChainKey, settings::ConnectChainValue, ChainCaption);
    }
}

void writePrivacyLevel(HWND owner, int level)
{
    if (!writeLevel(owner, settings::PrivacyLevelValue, level, WriteFailed)) {
        return;
    }
    if (level >= 1) {
        switchOn(owner, settings::ResponseKey, "", ResponseCaption);
        switchOn(owner, settings::RequestKey, "", RequestCaption);
    }
}

} // namespace host
