#pragma once
// The main window's side of the outside proxy-list module (Listfetch.dll): loaded once
// when the window is created, it refreshes the public proxy list at the first run, at
// every start, on request and on the ticks of the refresh timer. A refresh is always
// NetUpdate(n) followed by UpdateProxyListEx().

#include <common/PluginContract.h>
#include <platform/Windows.h>

#include <optional>

namespace host {

class ModuleTable;

class ProxyListRefresh {
public:
    static constexpr const char* ModuleName = "Listfetch.dll";
    // The refresh timer of the main window.
    static constexpr UINT_PTR TimerId = 2;

    explicit ProxyListRefresh(const ModuleTable& modules);
    ~ProxyListRefresh();
    ProxyListRefresh(const ProxyListRefresh&) = delete;
    ProxyListRefresh& operator=(const ProxyListRefresh&) = delete;

    // Loads the module and looks up its two entry points (either may be missing).
    void load();
    bool loaded() const { return m_module != nullptr; }
    bool canUpdate() const { return m_updateProxyListEx != nullptr; }

    // The first run (ISREGISTERED 0) refreshes from the network, every later start
    // with NetUpdate(0); the Chain module then reloads its list.
    void atStart(bool firstRun);
    // Reads UPDATEATSTARTUP and UPDATEEVERY of the Chain module: refreshes once now, or
    // answers the period of the refresh timer; nothing when no timer is wanted. The
    // failures are shown over owner.
    std::optional<UINT> setUp(HWND owner);
    // Message 1210.
    void onRequest(HWND owner);
    // Message 1324: the Chain module reloads the list when Listfetch can refresh it.
    void onChainRequest(HWND owner);
    // A tick of the refresh timer.
    void onTimer() { refresh(1); }
    // The Chain module's UpdateProxyList, when the slot is loaded and exports it.
    void updateChainList() const;

    // The refresh timer's period for an UPDATEEVERY value (0, 1, 2); nothing otherwise.
    static std::optional<UINT> periodFor(DWORD updateEvery);

private:
    void refresh(int fromNetwork);

    const ModuleTable& m_modules;
    HMODULE m_module = nullptr;
    UpdateProxyListExFn m_updateProxyListEx = nullptr;
    NetUpdateFn m_netUpdate = nullptr;
};

} // namespace host
