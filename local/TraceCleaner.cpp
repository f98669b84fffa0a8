#include "TraceCleaner.h"

#include "HostNotifier.h"

#include <common/FolderGuard.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>
#include <platform/Shell.h>
#include <platform/UrlHistory.h>

#include <initializer_list>

namespace local {

namespace {

constexpr const char* TypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr const char* IntelliFormsKey = "Software\\Microsoft\\Internet Explorer\\IntelliForms";
constexpr const char* RunMruKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
constexpr const char* RecentDocsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
constexpr const char* UserWinlogonKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* MachineWinlogonKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Winlogon";
constexpr const char* TelnetKey = "Software\\Microsoft\\Telnet";
constexpr const char* SearchBarKey = "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
                                     "{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\";

// Keys of the find-files and find-computer histories, under HKEY_CURRENT_USER.
const std::initializer_list<std::string> FindFilesKeys = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Doc Find Spec MRU",
    std::string(SearchBarKey) + "ContainingTextMRU",
    std::string(SearchBarKey) + "FilesNamedMRU",
};
const std::initializer_list<std::string> FindComputerKeys = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindComputerMRU",
    std::string(SearchBarKey) + "ComputerNameMRU",
};

constexpr const char* ProgressTexts[TraceKindCount] = {
    "Clearing temporary internet files...",
    "Clearing internet cookies...",
    "Clearing typed internet URLs...",
    "Clearing internet forms...",
    "Clearing internet passwords...",
    "Clearing internet favorites...",
    "Clearing temporary system files...",
    "Clearing recycle bin...",
    "Clearing run history...",
    "Clearing recent documents history...",
    "Clearing last logon user...",
    "Clearing find files history...",
    "Clearing find computer history...",
    "Clearing network connection history...",
    "Clearing telnet history...",
    "Clearing internet URL history...",
    "Clearing custom directories...",
};

constexpr const char* RefusedFolderText =
    "The custom directory \"%s\" was not cleaned: it holds the system drive or the user "
    "profile.";

constexpr SweepOptions KeepDesktopIni{false, false};
constexpr SweepOptions WithDesktopIni{true, false};
constexpr SweepOptions WipeIndexDat{false, true};

constexpr DWORD EmptyQuietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;

void deleteKeys(const std::initializer_list<std::string>& keys)
{
    for (const std::string& key : keys) {
        SHDeleteKey(HKEY_CURRENT_USER, key.c_str());
    }
}

// The browser's URL history store: created by class identifier and asked to clear the
// history; when it cannot be created the step goes on with the history folders. The
// cleaner runs on threads that may not have entered COM yet (the exit run, the page's
// button), so it enters COM for the call and leaves it again.
void clearHistoryStore()
{
    const HRESULT entered = CoInitialize(nullptr);
    IUrlHistoryStg2* history = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUrlHistoryStg2, reinterpret_cast<void**>(&history)))) {
        history->ClearHistory();
        history->Release();
    }
    if (SUCCEEDED(entered)) {
        CoUninitialize();
    }
}

} // namespace

TraceCleaner::TraceCleaner(ProgressSink& progress, HostNotifier& notifier)
    : m_progress(progress), m_notifier(notifier), m_sweeper(notifier), m_urlCache(notifier)
{}

const char* TraceCleaner::progressText(int kind)
{
    return kind >= 1 && kind <= TraceKindCount ? ProgressTexts[kind - 1] : "";
}

std::string ProgressSink::statusText(int kind, bool done) const
{
    return std::string(TraceCleaner::progressText(kind)) + (done ? TraceCleaner::DoneSuffix : "");
}

void TraceCleaner::run(const CleanRequest& request)
{
    m_progress.open();
    for (int kind = 1; kind <= TraceKindCount; ++kind) {
        if (!request.selected(kind)) {
            continue;
        }
        m_progress.setStatus(m_progress.statusText(kind, false));
        runKind(kind, request);
        m_progress.setStatus(m_progress.statusText(kind, true));
    }
    m_progress.close();
}

void TraceCleaner::runKind(int kind, const CleanRequest& request)
{
    switch (kind) {
    case 1:
        return clearTempInternetFiles();
    case 2:
        return clearCookies();
    case 3:
        SHDeleteKey(HKEY_CURRENT_USER, TypedUrlsKey);
        return;
    case 4:
        AutoCompleteCleaner().run();
        return;
    case 5:
        SHDeleteKey(HKEY_CURRENT_USER, IntelliFormsKey);
        return;
    case 6:
        return sweepSpecialFolder(CSIDL_FAVORITES, KeepDesktopIni);
    case 7:
        return clearTempSystemFiles();
    case 8:
        SHEmptyRecycleBin(0, nullptr, EmptyQuietly);
        return;
    case 9:
        SHDeleteKey(HKEY_CURRENT_USER, RunMruKey);
        return;
    case 10:
        return clearDocumentHistory();
    case 11:
        return clearLastLogonUser();
    case 12:
        return deleteKeys(FindFilesKeys);
    case 13:
        return deleteKeys(FindComputerKeys);
    case 14:
        return sweepSpecialFolder(CSIDL_NETHOOD, KeepDesktopIni);
    case 15:
        return clearTelnetHistory();
    case 16:
        return clearInternetHistory();
    case 17:
        return clearCustomFolders(request);
    default:
        return;
    }
}

void TraceCleaner::sweepSpecialFolder(int csidl, SweepOptions options)
{
    char folder[MAX_PATH] = {};
    if (SHGetSpecialFolderPath(0, folder, csidl, FALSE)) {
        m_sweeper.sweep(folder, options);
    }
}

void TraceCleaner::clearTempInternetFiles()
{
    m_urlCache.sweep(UrlCacheSweeper::NonCookies);
    sweepSpecialFolder(CSIDL_INTERNET_CACHE, KeepDesktopIni);
}

void TraceCleaner::clearCookies()
{
    m_urlCache.sweep(UrlCacheSweeper::Cookies);
    sweepSpecialFolder(CSIDL_COOKIES, KeepDesktopIni);
}

void TraceCleaner::clearTempSystemFiles()
{
    char folder[MAX_PATH] = {};
    if (GetTempPath(MAX_PATH, folder) != 0) {
        m_sweeper.sweep(folder, WithDesktopIni);
    }
}

void TraceCleaner::clearDocumentHistory()
{
    sweepSpecialFolder(CSIDL_RECENT, KeepDesktopIni);
    SHDeleteKey(HKEY_CURRENT_USER, RecentDocsKey);
}

void TraceCleaner::clearLastLogonUser()
{
    SHDeleteValue(HKEY_CURRENT_USER, UserWinlogonKey, "DefaultUserName");
    SHDeleteValue(HKEY_CURRENT_USER, UserWinlogonKey, "AltDefaultUserName");
    SHDeleteValue(HKEY_LOCAL_MACHINE, MachineWinlogonKey, "DefaultUserName");
}

void TraceCleaner::clearTelnetHistory()
{
    for (int n = 1; n <= 8; ++n) {
        for (const char* stem : {"Machine", "Service", "TermType"}) {
            const std::string name = stem + std::to_string(n);
            SHDeleteValue(HKEY_CURRENT_USER, TelnetKey, name.c_str());
        }
    }
    for (const char* name : {"LastMachine", "LastService", "LastTermType"}) {
        SHDeleteValue(HKEY_CURRENT_USER, TelnetKey, name);
    }
}

void TraceCleaner::clearInternetHistory()
{
    clearHistoryStore();
    char windows[MAX_PATH] = {};
    if (GetWindowsDirectory(windows, MAX_PATH) != 0) {
        m_sweeper.sweep(joinPath(windows, "History"), WipeIndexDat);
    }
    sweepSpecialFolder(CSIDL_HISTORY, WipeIndexDat);
}

void TraceCleaner::clearCustomFolders(const CleanRequest& request)
{
    for (const std::string& folder : request.customFolders) {
        if (folders::isProtectedFolder(folder)) {
            std::string text = RefusedFolderText;
            text.replace(text.find("%s"), 2, folder);
            MessageBox(0, text.c_str(), ModuleCaption, MB_OK | MB_ICONERROR);
            continue;
        }
        m_sweeper.sweep(folder, KeepDesktopIni);
    }
}

} // namespace local
