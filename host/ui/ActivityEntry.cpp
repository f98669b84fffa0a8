#include "ActivityEntry.h"

#include "engine/RequestText.h"

#include <platform/Text.h>

#include <array>

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

struct ModernProgram {
    request::ModernBrowser browser;
    const char* name;
    ProgramType type;
};

// How today's browsers are listed; Opera and IE 11 under their old entries.
constexpr std::array<ModernProgram, 7> ModernPrograms{{
    {request::ModernBrowser::InternetExplorer, "Internet Explorer", InternetExplorer},
    {request::ModernBrowser::Opera, "Opera", Opera},
    {request::ModernBrowser::Edge, "Edge", Edge},
    {request::ModernBrowser::Firefox, "Firefox", Firefox},
    {request::ModernBrowser::Chromium, "Chromium", Chromium},
    {request::ModernBrowser::Chrome, "Chrome", Chrome},
    {request::ModernBrowser::Safari, "Safari", Safari},
}};

} // namespace

ActivityEntry activityEntryFor(std::string_view userAgent, std::string port,
                               std::string destination, bool (*modernBrowsers)())
{
    const std::string agent = text::lower(userAgent);
    ActivityEntry entry;
    for (const ProgramRule& rule : ProgramRules) {
        if (agent.find(rule.word) != std::string::npos) {
            entry.programName = rule.name;
            entry.type = rule.type;
        }
    }
    if (entry.programName.empty()) {
        if (const auto browser = request::modernBrowser(agent); browser && modernBrowsers()) {
            for (const ModernProgram& program : ModernPrograms) {
                if (program.browser == *browser) {
                    entry.programName = program.name;
                    entry.type = program.type;
                }
            }
        }
    }
    entry.port = std::move(port);
    entry.destination = std::move(destination);
    return entry;
}

} // namespace host::ui
