#pragma once
// The proxy-list module behind Listfetch.dll's entry points: where the list comes from
// (the address in the module's own registry key), where it is kept (the suite's data
// folder) and the list in use with its shared cursor.

#include "ProxyListStore.h"

#include <platform/Environment.h>
#include <platform/WinTypes.h>

#include <atomic>
#include <mutex>
#include <optional>

namespace listfetch {

class ListfetchModule {
public:
    // The module's own key (HKEY_LOCAL_MACHINE) and its values: LISTURL (REG_SZ) is the
    // http or https address of the list, TIMEOUT (DWORD) the download bound in ms.
    static constexpr const char* Key = "Software\\Kestrani\\Hollowmere\\Listfetch";
    static constexpr const char* AddressValue = "LISTURL";
    static constexpr const char* TimeoutValue = "TIMEOUT";
    static constexpr DWORD DefaultTimeoutMs = 30000;
    static constexpr DWORD MinTimeoutMs = 1000;
    static constexpr DWORD MaxTimeoutMs = 120000;
    // The stored list, in the folder named by the main key's DataFolder value.
    static constexpr const char* ListFileName = "proxylist.txt";

    // NetUpdate: 1 makes the next update download the list, 0 load the stored one.
    void setFromNetwork(int fromNetwork) { m_fromNetwork = fromNetwork; }
    // UpdateProxyListEx: one refresh, serialised against other refreshes. A failed
    // download keeps the list in use (or, if none was ever loaded, the stored one).
    void update();

    int count();
    bool next(ProxyEntry& entry);

    // The stored list's file, when the data folder is known.
    static std::optional<platform::DosPath> listFile();

private:
    bool download();
    bool loadStored(bool onlyIfNeverSet);
    void loadStoredOnFirstUse();

    std::atomic<int> m_fromNetwork{0};
    std::mutex m_updateMutex; // one refresh at a time
    std::once_flag m_firstUse;
    ProxyListStore m_store;
};

} // namespace listfetch
