#include <common/BrowserKeys.h>
#include <common/Settings.h>
#include <platform/Processes.h>
#include <platform/Windows.h>

namespace browserkeys {

namespace {

constexpr const char* ExtensionsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
constexpr const char* ExtensionId = "{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
constexpr const char* SystemFolder = "C:\\Windows\\System32";

} // namespace

void writeToolbarExtension(const std::string& pluginPath)
{
    const settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, ExtensionKey);
    if (!key) {
        return;
    }
    key.writeString(nullptr, "Umbravia Toolbar");
    key.writeString("BandClsid", ToolbarBandClsid);
    key.writeString("ButtonText", "Umbravia");
    key.writeString("Clsid", "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}");
    key.writeString("Default Visible", "Yes");
    key.writeString("HotIcon", pluginPath + ",214");
    key.writeString("Icon", pluginPath + ",213");
    key.writeString("MenuStatusBar", "Umbravia");
    key.writeString("MenuText", "Umbravia");
}

void writeToolbarBand()
{
    if (const settings::Key toolbar = settings::Key::create(HKEY_LOCAL_MACHINE, ToolbarKey)) {
        toolbar.writeDword(ToolbarBandClsid, 0);
    }
}

void removeToolbarKeys()
{
    if (const settings::Key toolbar =
            settings::Key::open(HKEY_LOCAL_MACHINE, ToolbarKey, KEY_ALL_ACCESS)) {
        RegDeleteValue(toolbar.get(), ToolbarBandClsid);
    }
    if (const settings::Key extensions =
            settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionsKey, KEY_ALL_ACCESS)) {
        RegDeleteKey(extensions.get(), ExtensionId);
    }
}

void switchToolbar(HWND owner, bool on, const std::string& pluginPath)
{
    // Quoted: the program folder usually holds a blank ("Program Files").
    const std::string quoted = "\"" + pluginPath + "\"";
    ShellExecute(owner, "open", "regsvr32", ((on ? "/s " : "/u /s ") + quoted).c_str(),
                 SystemFolder, SW_SHOWNORMAL);
    if (on) {
        writeToolbarExtension(pluginPath);
        writeToolbarBand();
    } else {
        removeToolbarKeys();
    }
}

} // namespace browserkeys
