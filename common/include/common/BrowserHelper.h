#pragma once
// The browser helper object UmbraIEExt.dll as the rest of the suite sees it: its browser
// registration key (written by the host while it runs, removed by the object itself when
// the host is gone) and the values of the Internet Explorer settings key that it reads.

namespace browserhelper {

// Under HKEY_LOCAL_MACHINE.
inline constexpr const char* RegistrationKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper "
    "Objects\\{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}";

// DWORD switches in settings::IEExtKey.
inline constexpr const char* KillAllPopups = "KILLALLPOPUPS";
inline constexpr const char* WindowResizable = "IEWINDOWRESIZABLE";
inline constexpr const char* ShowAddressBar = "SHOWADDRESSBAR";
inline constexpr const char* ShowMenuBar = "SHOWMENUBAR";
inline constexpr const char* ShowStatusBar = "SHOWSTATUSBAR";
inline constexpr const char* ShowToolBar = "SHOWTOOLBAR";

// The rule subkeys: the unnamed DWORD switches the rule; the URL and title rules hold
// their entries as REG_SZ values.
inline constexpr const char* SizeRuleKey = "KILLPOPUPSIZE";
inline constexpr const char* SizeThreshold = "WINDOWSIZETHRESHOLD"; // percent of the screen
inline constexpr const char* UrlRuleKey = "KILLPOPUPURL";
inline constexpr const char* TitleRuleKey = "KILLPOPUPTITLE";

} // namespace browserhelper
