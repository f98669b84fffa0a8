#pragma once
// The wizard's settings model: one record that every page reads and writes and that
// Finish saves. Each group mirrors the values one module (or the main key) keeps; the
// value names are the ones the modules' own pages use.

#include <cstdint>
#include <string>
#include <vector>

namespace wizard {

inline constexpr const char* WizardCaption = "Umbravia Settings Wizard";
// Three spellings, as the suite has always shown them: the main key and Chain; Local
// when reading; saving, the Filters keys and the programs page.
inline constexpr const char* InvalidRegistryDataMain = "Invalide registry data";
inline constexpr const char* InvalidRegistryDataLocal = "Invalide Registry data";
inline constexpr const char* InvalidRegistryDataSave = "Invalide Registry Data";

inline constexpr std::uint32_t DefaultProxyPort = 8080;
// 255.255.255.255, the fake address of the default settings.
inline constexpr std::uint32_t DefaultFakeIp = 0xFFFFFFFF;

// DLLs\Local.dll: the switch that cleans the selected items when the host exits.
struct ExitCleanup {
    std::uint32_t clearAtExit = 0; // CLEARATEXIT
};

// DLLs\Local.dll: the Windows items, in the order of the page's boxes, and the custom
// directories (subkey CUSTOMDIRS).
struct WindowsCleanup {
    std::uint32_t recycleBin = 0;         // RECYCLEBIN
    std::uint32_t runHistory = 0;         // RUNHISTORY
    std::uint32_t documentHistory = 0;    // DOCHISTORY
    std::uint32_t lastLogonUser = 0;      // LASTLOGONUSER
    std::uint32_t findFiles = 0;          // FINDFILES
    std::uint32_t findComputer = 0;       // FINDCOMPUTER
    std::uint32_t networkConnections = 0; // NETCON
    std::uint32_t telnet = 0;             // TELENT
    std::uint32_t customDirectories = 0;  // CUSTOMDIRS, unnamed value
    std::vector<std::string> directories; // CUSTOMDIRS, "0", "1", ...
};

// DLLs\Local.dll: the browser items, in the order of the page's boxes.
struct BrowserCleanup {
    std::uint32_t urlHistory = 0;            // INTERNETURLHISTORY
    std::uint32_t tempSystemFiles = 0;       // TEMPSYSTEMFILES
    std::uint32_t tempInternetFiles = 0;     // TEMPINTERNETFILES
    std::uint32_t autoCompleteForms = 0;     // AUTOFORMS
    std::uint32_t autoCompletePasswords = 0; // AUTOPASS
    std::uint32_t favorites = 0;             // FAVORITES
    std::uint32_t cookies = 0;               // INTERNETCOOKIES
    std::uint32_t typedUrls = 0;             // TYPEDURLHISTORY
};

// DLLs\Filters.dll\Res.
struct ResponseFilter {
    std::uint32_t blockPopups = 0;           // BLOCKPOPUPS
    std::uint32_t removeFlash = 0;           // REMOVEFLASH
    std::uint32_t hidePageTitle = 0;         // HIDEPAGETITLE
    std::uint32_t blockImages = 0;           // BLOCKIMAGES
    std::uint32_t blockScripts = 0;          // BLOCKSCRIPTS
    std::uint32_t disableOnUnload = 0;       // DISABLEONUNLOAD
    std::uint32_t disableTimers = 0;         // DISABLETIMERPROC
    std::uint32_t removeStatusModifiers = 0; // REMOVESTATUSMODS
    std::uint32_t removeMenuDisablers = 0;   // REMOVECTXMENUDIS
};

// DLLs\Filters.dll\Req.
struct RequestFilter {
    // The unnamed value: request filtering on. Saving sets it to 1 when a custom list is
    // on and otherwise keeps it.
    std::uint32_t customLists = 0;
    std::uint32_t browserShield = 0;        // BROWSERSHIELD
    std::uint32_t osShield = 0;             // OSSHIELD
    std::uint32_t referrerBlock = 0;        // REFERRERBLOCK
    std::uint32_t ipMasking = 0;            // IPMASKING
    std::uint32_t fakeIp = 0;               // FAKEIP, the address as one DWORD
    std::uint32_t disableAllCookies = 0;    // DISABLEALLCOOKIES
    std::uint32_t disableUnsafeCookies = 0; // DISABLEUNSAFECOOKIES
};

// DLLs\Filters.dll\Req\CUSTOMFILTERS and STOPSERVERS.
struct CustomLists {
    std::uint32_t customFilters = 0;  // CUSTOMFILTERS, unnamed value
    std::vector<std::string> filters; // "variable: values"
    std::uint32_t stopServers = 0;    // STOPSERVERS, unnamed value
    std::vector<std::string> servers;
};

// DLLs\Chain.dll, and PROXYPORT in the main key.
struct ProxyChain {
    std::uint32_t connectChain = 0;             // CONNECTCHAIN
    std::uint32_t connectionTimeout = 0;        // CONNTIMEOUT
    std::uint32_t pathLength = 0;               // PATHLENGTH
    std::uint32_t useOneProxy = 0;              // USEONEPROXY
    std::uint32_t updateAtStartup = 0;          // UPDATEATSTARTUP
    std::uint32_t updateEvery = 0;              // UPDATEEVERY: 0 15 minutes, 1 30 minutes, 2 hour
    std::uint32_t proxyPort = DefaultProxyPort; // PROXYPORT
};

struct SettingsModel {
    ExitCleanup exitCleanup;
    WindowsCleanup windowsCleanup;
    BrowserCleanup browserCleanup;
    ResponseFilter response;
    RequestFilter request;
    CustomLists lists;
    ProxyChain chain;
};

// Fills the model from the registry. A group whose key cannot be opened shows its
// message (caption WizardCaption, error icon) and keeps what it held; a missing value
// keeps its field, except PROXYPORT, which is 8080 when absent.
void loadSettings(SettingsModel& model);

// "Default Settings.": overwrites the chain, browser clean-up, response and request
// groups; the Windows clean-up, the custom lists and the exit clean-up stay.
void applyDefaults(SettingsModel& model);

// Saves in this order: Local values (with CUSTOMDIRS), response filter, request filter
// with its lists, Chain values, then PROXYPORT. The first step that fails shows its
// message and ends the saving. True when everything was written.
bool saveSettings(const SettingsModel& model);

} // namespace wizard
