#pragma once
// One line of the activity list and the recognition of the program that sent a request.

#include <string>
#include <string_view>

namespace host::ui {

// The programs the activity list recognises; the type is also the entry's image index.
enum ProgramType : int {
    InternetExplorer = 0,
    Netscape = 1,
    Opera = 2,
    MsnMessenger = 3,
};

struct ActivityEntry {
    int position = 0; // where the item goes; the list keeps its own order anyway
    int type = 0;
    std::string programName; // empty: not a recognised program, nothing is listed
    std::string port;
    std::string destination;
};

// The entry for a request with these last-request texts. Every word of the table that
// the user agent contains sets the program, so the last one found wins (an Opera that
// also says "msie" is Opera).
ActivityEntry activityEntryFor(std::string_view userAgent, std::string port,
                               std::string destination);

} // namespace host::ui
