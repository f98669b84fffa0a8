#include "ListfetchModule.h"

#include "ListDownloader.h"
#include "ProxyList.h"

#include <common/Settings.h>
#include <platform/Files.h>

#include <algorithm>
#include <string>

namespace listfetch {

namespace {

void trace(const std::string& text)
{
    OutputDebugString(("Listfetch: " + text + "\n").c_str());
}

DWORD downloadTimeoutMs()
{
    DWORD value =
        settings::readDword(HKEY_LOCAL_MACHINE, ListfetchModule::Key, ListfetchModule::TimeoutValue)
            .value_or(ListfetchModule::DefaultTimeoutMs);
    return std::clamp(value, ListfetchModule::MinTimeoutMs, ListfetchModule::MaxTimeoutMs);
}

bool store(const ProxyList& list)
{
    std::optional<platform::DosPath> file = ListfetchModule::listFile();
    if (!file) {
        trace("no DataFolder: the list is kept in memory only");
        return false;
    }
    // The data folder (and the install folder above it) may not exist yet.
    platform::Result<platform::HostPath> hostFile = platform::toHostPath(file->str());
    if (hostFile) {
        std::error_code ignored;
        std::filesystem::create_directories(hostFile->parent_path(), ignored);
    }
    platform::Result<void> written = platform::writeWholeFile(*file, list.format());
    if (!written) {
        trace("storing the list failed: " + written.error().message);
    }
    return written.ok();
}

} // namespace

std::optional<platform::DosPath> ListfetchModule::listFile()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    std::optional<std::string> folder = key.readString("DataFolder");
    if (!folder || folder->empty()) {
        return std::nullopt;
    }
    std::string path = *folder;
    if (path.back() != '\\' && path.back() != '/') {
        path += '\\';
    }
    return platform::DosPath(path + ListFileName);
}

void ListfetchModule::update()
{
    std::lock_guard lock(m_updateMutex);
    if (m_fromNetwork != 0) {
        if (!download() && !m_store.everSet()) {
            loadStored(true);
        }
    } else {
        loadStored(false);
    }
}

bool ListfetchModule::download()
{
    std::optional<std::string> address =
        settings::Key::open(HKEY_LOCAL_MACHINE, Key).readString(AddressValue);
    if (!address || address->empty()) {
        trace("no list address in LISTURL");
        return false;
    }
    platform::Result<std::string> body = ListDownloader(downloadTimeoutMs()).fetch(*address);
    if (!body) {
        trace(body.error().message);
        return false;
    }
    ProxyList list = ProxyList::parse(*body);
    if (list.entries().empty()) {
        trace("the downloaded list holds no usable entry; the previous list stays");
        return false;
    }
    store(list);
    m_store.replace(list.takeEntries());
    return true;
}

bool ListfetchModule::loadStored(bool onlyIfNeverSet)
{
    std::optional<platform::DosPath> file = listFile();
    if (!file) {
        return false;
    }
    platform::Result<std::string> text = platform::readWholeFile(*file);
    if (!text) {
        return false;
    }
    ProxyList list = ProxyList::parse(*text);
    if (onlyIfNeverSet) {
        return m_store.replaceIfNeverSet(list.takeEntries());
    }
    m_store.replace(list.takeEntries());
    return true;
}

void ListfetchModule::loadStoredOnFirstUse()
{
    // A process that draws proxies before anyone refreshed the list gets the stored one.
    std::call_once(m_firstUse, [this] {
        if (!m_store.everSet()) {
            loadStored(true);
        }
    });
}

int ListfetchModule::count()
{
    loadStoredOnFirstUse();
    return m_store.count();
}

bool ListfetchModule::next(ProxyEntry& entry)
{
    loadStoredOnFirstUse();
    return m_store.next(entry);
}

} // namespace listfetch
