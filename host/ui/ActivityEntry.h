#pragma once
// One line of the activity list and the recognition of the program that sent a request.

#include <string>
#include <string_view>

namespace host::ui {

// The programs the activity list recognises; the type is also the entry's image index.
// Images 4 to 7 belong to no program; today's browsers follow them.
enum ProgramType : int {
    InternetExplorer = 0,
    Netscape = 1,
    Opera = 2,
    MsnMessenger = 3,
    Firefox = 8,
    Chrome = 9,
    Chromium = 10,
    Edge = 11,
    Safari = 12,
};
inline constexpr int ProgramImageCount = 13;

struct ActivityEntry {
    int position = 0; // where the item goes; the list keeps its own order anyway
    int type = 0;
    std::string programName; // empty: not a recognised program, nothing is listed
    std::string port;
    std::string destination;
};

// The entry for a request with these last-request texts. Every word of the old table
// that the user agent contains sets the program, so the last one found wins (an Opera
// that also says "msie" is Opera). An agent that names none of them is one of today's
// browsers by its product token while modernBrowsers() says so (MODERNBROWSERS); it is
// asked only for such an agent.
ActivityEntry activityEntryFor(std::string_view userAgent, std::string port,
                               std::string destination, bool (*modernBrowsers)());

} // namespace host::ui
