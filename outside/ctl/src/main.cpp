// umbravia-ctl: controls the running Umbravia from the command line, as the browser
// toolbar does through the host's window messages.

#include "CtlArguments.h"
#include "CtlSession.h"

#include <platform/Application.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const ctl::ParsedArguments parsed =
        ctl::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.request) {
        std::fprintf(stderr, "umbravia-ctl: %s\n\n%s", parsed.error.c_str(), ctl::usageText());
        return ctl::ExitUsage;
    }
    if (parsed.request->action == ctl::Action::Help) {
        std::fputs(ctl::usageText(), stdout);
        return ctl::ExitDone;
    }
    // ctl shows no window: it must work where no display is reachable (ssh, cron).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    platform::Application app(argc, argv);
    ctl::CtlSession session(stdout, stderr);
    return session.run(*parsed.request);
}
