// UrlHistory.dll: the URL history store (see platform/UrlHistory.h) over the URL cache's
// history entries.

#include <platform/ComServer.h>
#include <platform/Environment.h>
#include <platform/Modules.h>
#include <platform/UrlHistory.h>
#include <platform/WinInet.h>

#include <string>
#include <vector>

namespace {

platform::com::ModuleLockCount g_locks;

std::string historyEntryName(LPCOLESTR url)
{
    return "Visited: " + platform::loginName() + "@" + platform::fromUtf16(url);
}

INTERNET_CACHE_ENTRY_INFO* entryIn(std::vector<char>& buffer)
{
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
}

// The URLs of every history entry, listed before any is deleted. A buffer too small is
// grown and the same entry asked for again (the listing waits for it).
std::vector<std::string> historyEntries()
{
    std::vector<std::string> urls;
    std::vector<char> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size());
    HANDLE find = FindFirstUrlCacheEntry("visited:", entryIn(buffer), &size);
    if (find == nullptr && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
        find = FindFirstUrlCacheEntry("visited:", entryIn(buffer), &size);
    }
    if (find == nullptr) {
        return urls;
    }
    bool more = true;
    while (more) {
        urls.emplace_back(entryIn(buffer)->lpszSourceUrlName);
        size = static_cast<DWORD>(buffer.size());
        more = FindNextUrlCacheEntry(find, entryIn(buffer), &size);
        if (!more && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size);
            more = FindNextUrlCacheEntry(find, entryIn(buffer), &size);
        }
    }
    FindCloseUrlCache(find);
    return urls;
}

class UrlHistory final : public IUrlHistoryStg2, public platform::com::ObjectRoot {
public:
    UrlHistory(IUnknown* outer, platform::com::ModuleLockCount& locks) : ObjectRoot(outer, locks) {}

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return outerQueryInterface(riid, object);
    }
    ULONG AddRef() override { return outerAddRef(); }
    ULONG Release() override { return outerRelease(); }

    HRESULT AddUrl(LPCOLESTR url, LPCOLESTR, DWORD) override
    {
        if (url == nullptr || *url == 0) {
            return E_INVALIDARG;
        }
        try {
            platform::UrlCacheEntry entry;
            entry.url = historyEntryName(url);
            entry.type = URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY;
            return platform::addUrlCacheEntry(entry) ? S_OK : E_FAIL;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT DeleteUrl(LPCOLESTR url, DWORD) override
    {
        if (url == nullptr || *url == 0) {
            return E_INVALIDARG;
        }
        try {
            return DeleteUrlCacheEntry(historyEntryName(url).c_str()) ? S_OK : E_FAIL;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT QueryUrl(LPCOLESTR, DWORD, STATURL*) override { return E_NOTIMPL; }
    HRESULT BindToObject(LPCOLESTR, REFIID, void** object) override
    {
        if (object != nullptr) {
            *object = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT EnumUrls(IEnumSTATURL** urls) override
    {
        if (urls != nullptr) {
            *urls = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT AddUrlAndNotify(LPCOLESTR url, LPCOLESTR title, DWORD flags, BOOL writeHistory,
                            IOleCommandTarget*, IUnknown*) override
    {
        return writeHistory ? AddUrl(url, title, flags) : S_OK;
    }
    HRESULT ClearHistory() override
    {
        try {
            HRESULT hr = S_OK;
            for (const std::string& url : historyEntries()) {
                if (!DeleteUrlCacheEntry(url.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
                    hr = E_FAIL; // the rest is still cleared
                }
            }
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    void* findInterface(REFIID riid) noexcept override
    {
        if (IsEqualIID(riid, IID_IUrlHistoryStg) || IsEqualIID(riid, IID_IUrlHistoryStg2)) {
            return static_cast<IUrlHistoryStg2*>(this);
        }
        return nullptr;
    }
};

platform::com::ClassFactory<UrlHistory> g_factory(g_locks);

} // namespace

UMBRAVIA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept
{
    return platform::com::classObject(clsid, CLSID_CUrlHistory, g_factory, riid, object);
}

UMBRAVIA_EXPORT HRESULT DllCanUnloadNow() noexcept
{
    return g_locks.count() == 0 ? S_OK : S_FALSE;
}
