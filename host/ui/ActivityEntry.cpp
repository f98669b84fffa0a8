#include "ActivityEntry.h"

#include <platform/Text.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace host::ui {

namespace {

struct ProgramRule {
    const char* word;
    const char* name;
    ProgramType type;
};

// Tested top to bottom; a later match overrides an earlier one.
constexpr std::array<ProgramRule, 4> ProgramRules{{
    {"msie", "Internet Explorer", InternetExplorer},
    {"netscape", "Netscape", Netscape},
    {"opera", "Opera", Opera},
    {"msmsg", "MSN Messenger", MsnMessenger},
}};

} // namespace

ActivityEntry activityEntryFor(std::string_view userAgent, std::string port,
                               std::string destination)
{
    const std::string agent = text::lower(userAgent);
    ActivityEntry entry;
    for (const ProgramRule& rule : ProgramRules) {
        if (agent.find(rule.word) != std::string::npos) {
            entry.programName = rule.name;
            entry.type = rule.type;
        }
    }
    entry.port = std::move(port);
    entry.destination = std::move(destination);
    return entry;
}

} // namespace host::ui
