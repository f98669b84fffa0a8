#pragma once
// Value names of the module keys that more than one deliverable writes: each module's
// own settings page and the settings wizard. All DWORDs unless said otherwise; a list
// subkey follows the list convention of Settings.h.

namespace values {

// settings::LocalKey: the trace cleaner's switches.
namespace local {
inline constexpr const char* ClearAtExit = "CLEARATEXIT";
inline constexpr const char* RecycleBin = "RECYCLEBIN";
inline constexpr const char* RunHistory = "RUNHISTORY";
inline constexpr const char* DocHistory = "DOCHISTORY";
inline constexpr const char* LastLogonUser = "LASTLOGONUSER";
inline constexpr const char* FindFiles = "FINDFILES";
inline constexpr const char* FindComputer = "FINDCOMPUTER";
inline constexpr const char* NetConnections = "NETCON";
inline constexpr const char* Telnet = "TELENT";
inline constexpr const char* UrlHistory = "INTERNETURLHISTORY";
inline constexpr const char* TempSystemFiles = "TEMPSYSTEMFILES";
inline constexpr const char* TempInternetFiles = "TEMPINTERNETFILES";
inline constexpr const char* AutoForms = "AUTOFORMS";
inline constexpr const char* AutoPasswords = "AUTOPASS";
inline constexpr const char* Favorites = "FAVORITES";
inline constexpr const char* Cookies = "INTERNETCOOKIES";
inline constexpr const char* TypedUrls = "TYPEDURLHISTORY";
inline constexpr const char* CustomDirs = "CUSTOMDIRS"; // list subkey
} // namespace local

// settings::ResponseKey.
namespace response {
inline constexpr const char* BlockPopups = "BLOCKPOPUPS";
inline constexpr const char* RemoveFlash = "REMOVEFLASH";
inline constexpr const char* HidePageTitle = "HIDEPAGETITLE";
inline constexpr const char* BlockImages = "BLOCKIMAGES";
inline constexpr const char* BlockScripts = "BLOCKSCRIPTS";
inline constexpr const char* DisableOnUnload = "DISABLEONUNLOAD";
inline constexpr const char* DisableTimerProc = "DISABLETIMERPROC";
inline constexpr const char* RemoveStatusMods = "REMOVESTATUSMODS";
inline constexpr const char* RemoveContextMenuDisablers = "REMOVECTXMENUDIS";
} // namespace response

// settings::RequestKey (its unnamed value switches request filtering).
namespace request {
inline constexpr const char* BrowserShield = "BROWSERSHIELD";
inline constexpr const char* OsShield = "OSSHIELD";
inline constexpr const char* ReferrerBlock = "REFERRERBLOCK";
inline constexpr const char* IpMasking = "IPMASKING";
inline constexpr const char* FakeIp = "FAKEIP"; // first octet in bits 31..24
inline constexpr const char* DisableAllCookies = "DISABLEALLCOOKIES";
inline constexpr const char* DisableUnsafeCookies = "DISABLEUNSAFECOOKIES";
inline constexpr const char* CustomFilters = "CUSTOMFILTERS"; // list subkey
inline constexpr const char* StopServers = "STOPSERVERS";     // list subkey
} // namespace request

// settings::ChainKey.
namespace chain {
inline constexpr const char* ConnectChain = "CONNECTCHAIN";
inline constexpr const char* ConnectionTimeout = "CONNTIMEOUT";
inline constexpr const char* PathLength = "PATHLENGTH";
inline constexpr const char* UseOneProxy = "USEONEPROXY";
inline constexpr const char* UpdateAtStartup = "UPDATEATSTARTUP";
inline constexpr const char* UpdateEvery = "UPDATEEVERY";
} // namespace chain

} // namespace values
