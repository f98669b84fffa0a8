#include <common/BrowserKeys.h>
#include <common/FirstRun.h>
#include <common/ModuleCatalogue.h>
#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>
#include <platform/Processes.h>
#include <platform/Windows.h>

#include <array>

namespace firstrun {

namespace {

constexpr std::array<const char*, 3> ComModules = {"UmbraIEExt.dll", "Rigwright.dll",
                                                   "UmbraIEPlugin.dll"};

bool registerModule(const std::string& path)
{
    HMODULE module = LoadLibrary(path.c_str());
    if (module == nullptr) {
        MessageBox(0, LoadModuleFailedText, SetupCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    auto registerDll = contract::bind(module, contract::RegisterDLL);
    const int registered = registerDll != nullptr ? registerDll(path.c_str()) : 0;
    FreeLibrary(module);
    if (registered == 0) {
        MessageBox(0, RegisterModuleFailedText, SetupCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

void writeMainKey(const std::string& installFolder)
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!key) {
        return;
    }
    key.writeString(nullptr, installFolder + "Umbravia.exe");
    key.writeString("DataFolder", installFolder + "DataFolder");
    key.writeDword(settings::IsRegisteredValue, 0);
}

void writeBrowserKeys(const std::string& installFolder)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey);
    writeMainKey(installFolder);
    browserkeys::writeToolbarExtension(installFolder + browserkeys::ToolbarPlugin);
    settings::Key::create(HKEY_LOCAL_MACHINE, browserkeys::HelperObjectKey);
    browserkeys::writeToolbarBand();
    for (const char* module : ComModules) {
        runHidden(std::string("regsvr32.exe /s ") + module);
    }
}

} // namespace

bool registerSuite(const std::string& installFolder)
{
    runHidden(std::string("regsvr32.exe /s ") + browserkeys::ToolbarPlugin);
    if (settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)) {
        key.writeDword(settings::IsRegisteredValue, 1);
        key.writeDword(ShowToolbarValue, 1);
    }
    return registerModules(installFolder);
}

bool registerModules(const std::string& installFolder)
{
    for (catalogue::Slot slot : catalogue::RegistrationOrder) {
        if (!registerModule(installFolder + catalogue::module(slot).registrationName)) {
            return false;
        }
    }
    writeBrowserKeys(installFolder);
    return true;
}

void rewriteModulePaths(const std::string& installFolder)
{
    for (catalogue::Slot slot : catalogue::PathRewriteOrder) {
        const catalogue::Module& module = catalogue::module(slot);
        settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, module.key, KEY_ALL_ACCESS);
        if (key) {
            key.writeString(settings::PathNameValue, installFolder + module.fileName);
        }
    }
}

bool runHidden(const std::string& commandLine)
{
    return WinExec(commandLine.c_str(), SW_HIDE) > 31;
}

} // namespace firstrun
