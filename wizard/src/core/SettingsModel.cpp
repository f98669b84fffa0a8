#include "SettingsModel.h"

#include <common/ModuleValues.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <optional>
#include <utility>

namespace wizard {

namespace {

namespace local = values::local;
namespace response = values::response;
namespace request = values::request;
namespace chain = values::chain;

// One DWORD of a group and the value it is kept in.
template <typename Group> struct Field {
    const char* name;
    std::uint32_t Group::*member;
};

constexpr Field<ExitCleanup> ExitFields[] = {
    {local::ClearAtExit, &ExitCleanup::clearAtExit},
};

constexpr Field<WindowsCleanup> WindowsFields[] = {
    {local::RecycleBin, &WindowsCleanup::recycleBin},
    {local::RunHistory, &WindowsCleanup::runHistory},
    {local::DocHistory, &WindowsCleanup::documentHistory},
    {local::LastLogonUser, &WindowsCleanup::lastLogonUser},
    {local::FindFiles, &WindowsCleanup::findFiles},
    {local::FindComputer, &WindowsCleanup::findComputer},
    {local::NetConnections, &WindowsCleanup::networkConnections},
    {local::Telnet, &WindowsCleanup::telnet},
};

constexpr Field<BrowserCleanup> BrowserFields[] = {
    {local::UrlHistory, &BrowserCleanup::urlHistory},
    {local::TempSystemFiles, &BrowserCleanup::tempSystemFiles},
    {local::TempInternetFiles, &BrowserCleanup::tempInternetFiles},
    {local::AutoForms, &BrowserCleanup::autoCompleteForms},
    {local::AutoPasswords, &BrowserCleanup::autoCompletePasswords},
    {local::Favorites, &BrowserCleanup::favorites},
    {local::Cookies, &BrowserCleanup::cookies},
    {local::TypedUrls, &BrowserCleanup::typedUrls},
};

constexpr Field<ResponseFilter> ResponseFields[] = {
    {response::BlockPopups, &ResponseFilter::blockPopups},
    {response::RemoveFlash, &ResponseFilter::removeFlash},
    {response::HidePageTitle, &ResponseFilter::hidePageTitle},
    {response::BlockImages, &ResponseFilter::blockImages},
    {response::BlockScripts, &ResponseFilter::blockScripts},
    {response::DisableOnUnload, &ResponseFilter::disableOnUnload},
    {response::DisableTimerProc, &ResponseFilter::disableTimers},
    {response::RemoveStatusMods, &ResponseFilter::removeStatusModifiers},
    {response::RemoveContextMenuDisablers, &ResponseFilter::removeMenuDisablers},
};

// The unnamed value first, as the request page keeps it.
constexpr Field<RequestFilter> RequestFields[] = {
    {nullptr, &RequestFilter::customLists},
    {request::BrowserShield, &RequestFilter::browserShield},
    {request::OsShield, &RequestFilter::osShield},
    {request::ReferrerBlock, &RequestFilter::referrerBlock},
    {request::IpMasking, &RequestFilter::ipMasking},
    {request::FakeIp, &RequestFilter::fakeIp},
    {request::DisableAllCookies, &RequestFilter::disableAllCookies},
    {request::DisableUnsafeCookies, &RequestFilter::disableUnsafeCookies},
};

constexpr Field<ProxyChain> ChainFields[] = {
    {chain::ConnectChain, &ProxyChain::connectChain},
    {chain::ConnectionTimeout, &ProxyChain::connectionTimeout},
    {chain::PathLength, &ProxyChain::pathLength},
    {chain::UseOneProxy, &ProxyChain::useOneProxy},
    {chain::UpdateAtStartup, &ProxyChain::updateAtStartup},
    {chain::UpdateEvery, &ProxyChain::updateEvery},
};

void showError(const char* text)
{
    MessageBox(0, text, WizardCaption, MB_OK | MB_ICONERROR);
}

// A value that is missing keeps the field's value.
template <typename Group, std::size_t N>
void readFields(const settings::Key& key, const Field<Group> (&fields)[N], Group& group)
{
    for (const Field<Group>& field : fields) {
        if (const std::optional<DWORD> value = key.readDword(field.name)) {
            group.*field.member = *value;
        }
    }
}

template <typename Group, std::size_t N>
bool writeFields(const settings::Key& key, const Field<Group> (&fields)[N], const Group& group)
{
    for (const Field<Group>& field : fields) {
        if (key.writeDword(field.name, group.*field.member) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

// A list subkey: its unnamed switch and its entries, read as the module pages read them.
// A list that cannot be opened keeps what the model held.
void readList(const settings::Key& parent, const char* subkey, std::uint32_t& enabled,
              std::vector<std::string>& entries)
{
    const settings::Key list = settings::Key::open(parent.get(), subkey);
    if (!list) {
        return;
    }
    enabled = list.readDword(nullptr).value_or(0);
    std::vector<std::string> read;
    (void)settings::enumerateEntries(list.get(), read); // an unreadable entry ends the list
    entries = std::move(read);
}

void loadLocal(SettingsModel& model)
{
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::LocalKey);
    if (!key) {
        showError(InvalidRegistryDataLocal);
        return;
    }
    readFields(key, ExitFields, model.exitCleanup);
    readFields(key, WindowsFields, model.windowsCleanup);
    readList(key, local::CustomDirs, model.windowsCleanup.customDirectories,
             model.windowsCleanup.directories);
    readFields(key, BrowserFields, model.browserCleanup);
}

void loadFilters(SettingsModel& model)
{
    if (const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ResponseKey)) {
        readFields(key, ResponseFields, model.response);
    } else {
        showError(InvalidRegistryDataSave);
    }
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::RequestKey);
    if (!key) {
        showError(InvalidRegistryDataSave);
        return;
    }
    readFields(key, RequestFields, model.request);
    readList(key, request::CustomFilters, model.lists.customFilters, model.lists.filters);
    readList(key, request::StopServers, model.lists.stopServers, model.lists.servers);
}

void loadChain(SettingsModel& model)
{
    if (const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey)) {
        readFields(key, ChainFields, model.chain);
    } else {
        showError(InvalidRegistryDataMain);
    }
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!main) {
        showError(InvalidRegistryDataMain);
        return;
    }
    model.chain.proxyPort = main.readDword(settings::ProxyPortValue).value_or(DefaultProxyPort);
}

settings::Key openForSaving(const char* path)
{
    return settings::Key::open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS);
}

bool saveLocal(const SettingsModel& model)
{
    const settings::Key key = openForSaving(settings::LocalKey);
    const WindowsCleanup& windows = model.windowsCleanup;
    return key && writeFields(key, ExitFields, model.exitCleanup) &&
           writeFields(key, WindowsFields, windows) &&
           settings::saveEntries(key.get(), local::CustomDirs, windows.directories,
                                 windows.customDirectories) == ERROR_SUCCESS &&
           writeFields(key, BrowserFields, model.browserCleanup);
}

bool saveResponse(const SettingsModel& model)
{
    const settings::Key key = openForSaving(settings::ResponseKey);
    return key && writeFields(key, ResponseFields, model.response);
}

bool saveRequest(const SettingsModel& model)
{
    const settings::Key key = openForSaving(settings::RequestKey);
    if (!key) {
        return false;
    }
    // A custom list that is on needs request filtering on. With both lists off the switch
    // keeps what it was: turning it off would silently drop the shields as well.
    RequestFilter filter = model.request;
    if (model.lists.customFilters != 0 || model.lists.stopServers != 0) {
        filter.customLists = 1;
    }
    const CustomLists& lists = model.lists;
    return writeFields(key, RequestFields, filter) &&
           settings::saveEntries(key.get(), request::CustomFilters, lists.filters,
                                 lists.customFilters) == ERROR_SUCCESS &&
           settings::saveEntries(key.get(), request::StopServers, lists.servers,
                                 lists.stopServers) == ERROR_SUCCESS;
}

bool saveChain(const SettingsModel& model)
{
    const settings::Key key = openForSaving(settings::ChainKey);
    return key && writeFields(key, ChainFields, model.chain);
}

bool saveProxyPort(const SettingsModel& model)
{
    const settings::Key key = openForSaving(settings::MainKey);
    return key && key.writeDword(settings::ProxyPortValue, model.chain.proxyPort) == ERROR_SUCCESS;
}

struct SaveStep {
    bool (*save)(const SettingsModel&);
    const char* failure;
};

constexpr SaveStep SaveSteps[] = {
    {saveLocal, InvalidRegistryDataSave},     {saveResponse, InvalidRegistryDataSave},
    {saveRequest, InvalidRegistryDataSave},   {saveChain, InvalidRegistryDataMain},
    {saveProxyPort, InvalidRegistryDataSave},
};

} // namespace

void loadSettings(SettingsModel& model)
{
    loadLocal(model);
    loadFilters(model);
    loadChain(model);
}

void applyDefaults(SettingsModel& model)
{
    model.chain.connectChain = 1;
    model.chain.connectionTimeout = 0;
    model.chain.pathLength = 1;
    model.chain.proxyPort = DefaultProxyPort;
    model.chain.useOneProxy = 1;
    model.chain.updateEvery = 2;
    model.chain.updateAtStartup = 0;

    model.browserCleanup = {1, 1, 1, 1, 1, 1, 1, 1};

    model.response = {};
    model.response.blockPopups = 1;
    model.response.removeFlash = 1;
    model.response.disableOnUnload = 1;
    model.response.disableTimers = 1;

    const std::uint32_t requestSwitch = model.request.customLists;
    model.request = {};
    model.request.customLists = requestSwitch;
    model.request.browserShield = 1;
    model.request.osShield = 1;
    model.request.referrerBlock = 1;
    model.request.ipMasking = 1;
    model.request.fakeIp = DefaultFakeIp;
    model.request.disableAllCookies = 0;
    model.request.disableUnsafeCookies = 1;
}

bool saveSettings(const SettingsModel& model)
{
    for (const SaveStep& step : SaveSteps) {
        if (!step.save(model)) {
            showError(step.failure);
            return false;
        }
    }
    return true;
}

} // namespace wizard
