#pragma once
// Taking the local proxy out of the programs the suite integrated, with the helper's own
// switch-off code (it never creates the Rigwright object): Internet Explorer back to a
// direct connection, Netscape and Opera back to 127.0.0.1:8080 with the proxy off,
// the messengers' proxy values deleted. mIRC, WS_FTP and CuteFTP are left as they are.

#include <string>

namespace uninstall {

// The texts of the uninstall helper's own boxes.
inline constexpr const char* SetupCaption = "Umbravia Setup";
inline constexpr const char* NoConnectionsText =
    "There is no connections available on this computer";

class ProgramRestore {
public:
    // Each restore whose IntegrateWith... value of the main key is exactly 1, in the
    // order IE, Netscape, Opera, MSN Messenger, Yahoo Messenger.
    static void restoreIntegrated();

    static void internetExplorer();
    static void netscape();
    static void opera();
    static void msnMessenger();
    static void yahooMessenger();

    // The 52-byte connection record of a direct connection.
    static std::string directConnectionRecord();
    // The file edits, apart from the files.
    static std::string editNetscapePrefs(std::string text);
    static std::string editOperaIni(std::string text);
};

} // namespace uninstall
