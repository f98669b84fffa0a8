#include "ProxyListRefresh.h"

#include "ModuleTable.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

namespace host {

namespace {

constexpr const char* Caption = "Umbravia";
constexpr const char* LoadFailedAtStart = "Failed To Load Listfetch.dll";
constexpr const char* LoadFailedOnRequest = "Failed To Load Listfetch DLL";
constexpr const char* UpdateMissing = "Failed Update Proxy List";

constexpr UINT Minute = 60 * 1000;

void showError(HWND owner, const char* text)
{
    MessageBox(owner, text, Caption, MB_OK | MB_ICONERROR);
}

} // namespace

ProxyListRefresh::ProxyListRefresh(const ModuleTable& modules) : m_modules(modules) {}

ProxyListRefresh::~ProxyListRefresh()
{
    if (m_module != nullptr) {
        FreeLibrary(m_module);
    }
}

void ProxyListRefresh::load()
{
    if (m_module != nullptr) {
        return;
    }
    m_module = LoadLibrary(ModuleName);
    if (m_module == nullptr) {
        return;
    }
    m_updateProxyListEx = contract::bind(m_module, contract::UpdateProxyListEx);
    m_netUpdate = contract::bind(m_module, contract::NetUpdate);
}

void ProxyListRefresh::refresh(int fromNetwork)
{
    if (m_updateProxyListEx == nullptr) {
        return;
    }
    if (m_netUpdate != nullptr) {
        m_netUpdate(fromNetwork);
    }
    m_updateProxyListEx();
}

void ProxyListRefresh::atStart(bool firstRun)
{
    refresh(firstRun ? 1 : 0);
}

void ProxyListRefresh::updateChainList() const
{
    if (auto update = m_modules.lookup(Slot::Chain, contract::UpdateProxyList)) {
        update();
    }
}

std::optional<UINT> ProxyListRefresh::periodFor(DWORD updateEvery)
{
    switch (updateEvery) {
    case 0:
        return 15 * Minute;
    case 1:
        return 30 * Minute;
    case 2:
        return 60 * Minute;
    default:
        return std::nullopt;
    }
}

std::optional<UINT> ProxyListRefresh::setUp(HWND owner)
{
    if (!loaded()) {
        showError(owner, LoadFailedAtStart);
        return std::nullopt;
    }
    if (!canUpdate()) {
        showError(owner, UpdateMissing);
        return std::nullopt;
    }
    const settings::Key chain = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey);
    const DWORD atStartup = chain.readDword("UPDATEATSTARTUP").value_or(0);
    const std::optional<DWORD> every = chain.readDword("UPDATEEVERY");
    if (!every) {
        return std::nullopt;
    }
    if (atStartup != 0) {
        refresh(1);
        updateChainList();
        return std::nullopt;
    }
    return periodFor(*every);
}

void ProxyListRefresh::onRequest(HWND owner)
{
    if (!loaded()) {
        showError(owner, LoadFailedOnRequest);
    } else if (!canUpdate()) {
        showError(owner, UpdateMissing);
    } else {
        refresh(1);
    }
}

void ProxyListRefresh::onChainRequest(HWND owner)
{
    if (loaded() && canUpdate()) {
        updateChainList();
    } else {
        onRequest(owner);
    }
}

} // namespace host
