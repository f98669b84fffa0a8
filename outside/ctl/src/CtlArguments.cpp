#include "CtlArguments.h"

#include <common/HostMessages.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

namespace ctl {

namespace {

constexpr const char* kUsage =
    "usage: umbravia-ctl COMMAND\n"
    "\n"
    "Controls the running Umbravia from the command line.\n"
    "\n"
    "commands:\n"
    "  start          start the proxy server\n"
    "  stop           stop the proxy server\n"
    "  restart        restart the proxy server\n"
    "  privacy N      choose the privacy level N (0 to 4)\n"
    "  anonymity N    choose the anonymity level N (0 to 4)\n"
    "  refresh        refresh the public proxy list now\n"
    "  show           restore the main window\n"
    "  clean          clean the local privacy traces now\n"
    "  exit           close Umbravia\n"
    "  status         print whether Umbravia runs, the proxy switch and the levels\n"
    "  watch          print the host's notifications until interrupted\n"
    "  backup [PROGRAM...]   back up the programs' proxy settings\n"
    "  restore [PROGRAM...]  restore them from the backup\n"
    "                 PROGRAM: ie netscape opera msn yahoo mirc wsftp cuteftp\n"
    "                 (all eight when none is named); Umbravia need not run\n"
    "  integrate on|off  point the chosen programs and this desktop's proxy settings\n"
    "                 at the proxy, or take them off; without a running Umbravia,\n"
    "                 'integrate off' restores the desktop's settings from the journal\n"
    "  --help         print this text\n"
    "\n"
    "exit status: 0 done, 1 Umbravia is not running, 2 bad usage,\n"
    "3 Umbravia did not answer, 4 the configuration component is missing or failed,\n"
    "5 a program's or the desktop's settings could not be backed up, switched or restored\n";

struct Simple {
    std::string_view name;
    Action action;
    UINT number; // message or command id
};

constexpr std::array<Simple, 10> kSimple{{
    {"start", Action::Message, msg::StartProxy},
    {"stop", Action::Message, msg::StopProxy},
    {"restart", Action::Message, msg::RestartProxy},
    {"refresh", Action::Message, msg::UpdateProxyListViaChain},
    {"show", Action::Message, msg::RestoreWindow},
    {"clean", Action::Command, cmd::LocalPageAction},
    {"exit", Action::Command, cmd::Exit},
    {"status", Action::Status, 0},
    {"watch", Action::Watch, 0},
    {"--help", Action::Help, 0},
}};

struct Leveled {
    std::string_view name;
    UINT message;
};

constexpr std::array<Leveled, 2> kLeveled{{
    {"privacy", msg::SetPrivacyLevel},
    {"anonymity", msg::SetAnonymityLevel},
}};

ParsedArguments bad(std::string error)
{
    return ParsedArguments{std::nullopt, std::move(error)};
}

// backup|restore [PROGRAM...]: no program names all of them.
ParsedArguments programsRequest(Action action, const std::vector<std::string>& args)
{
    CtlRequest request;
    request.action = action;
    request.name = args[0];
    if (args.size() == 1) {
        request.programs.fill(true);
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto* found = std::find_if(std::begin(ProgramNames), std::end(ProgramNames),
                                         [&](const char* name) { return args[i] == name; });
        if (found == std::end(ProgramNames)) {
            return bad("'" + args[i] + "' is not a program (" + args[0] +
                       " takes ie netscape opera msn yahoo mirc wsftp cuteftp)");
        }
        request.programs[static_cast<std::size_t>(found - std::begin(ProgramNames))] = true;
    }
    return ParsedArguments{request, {}};
}

} // namespace

std::optional<unsigned> parseLevel(const std::string& text, unsigned maxValue)
{
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > maxValue) {
        return std::nullopt;
    }
    return value;
}

ParsedArguments parseArguments(const std::vector<std::string>& args)
{
    if (args.empty()) {
        return bad("no command given");
    }
    const std::string& name = args[0];
    if (name == "-h" || name == "help") {
        return parseArguments({"--help"});
    }
    for (const Simple& simple : kSimple) {
        if (name != simple.name) {
            continue;
        }
        if (args.size() > 1) {
            return bad("'" + name + "' takes no argument");
        }
        CtlRequest request;
        request.action = simple.action;
        request.name = name;
        (simple.action == Action::Command ? request.commandId : request.message) = simple.number;
        return ParsedArguments{request, {}};
    }
    if (name == "integrate") {
        if (args.size() != 2 || (args[1] != "on" && args[1] != "off")) {
            return bad("'integrate' needs on or off");
        }
        CtlRequest request;
        request.action = Action::Integrate;
        request.name = name;
        request.message = msg::SwitchIntegration;
        request.wParam = args[1] == "on" ? 1 : 0;
        return ParsedArguments{request, {}};
    }
    if (name == "backup" || name == "restore") {
        return programsRequest(name == "backup" ? Action::Backup : Action::Restore, args);
    }
    for (const Leveled& leveled : kLeveled) {
        if (name != leveled.name) {
            continue;
        }
        if (args.size() != 2) {
            return bad("'" + name + "' needs one level, 0 to 4");
        }
        std::optional<unsigned> level = parseLevel(args[1]);
        if (!level) {
            return bad("'" + args[1] + "' is not a level from 0 to 4");
        }
        CtlRequest request;
        request.action = Action::Message;
        request.name = name;
        request.message = leveled.message;
        request.wParam = *level;
        return ParsedArguments{request, {}};
    }
    return bad("unknown command '" + name + "'");
}

const char* usageText()
{
    return kUsage;
}

} // namespace ctl
