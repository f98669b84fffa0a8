#pragma once
// The command line of umbravia-ctl: one command, and a level for the two level commands.

#include <platform/WinTypes.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ctl {

enum class Action {
    Help,
    Status,
    Watch,
    Message, // a host message with its first parameter
    Command, // a WM_COMMAND id
    Backup,  // the configuration component's BackupConfiguration
    Restore, // and RestoreConfiguration
};

// The programs of a backup or restore, in the order of the component's flags.
inline constexpr std::size_t ProgramCount = 8;
inline constexpr const char* ProgramNames[ProgramCount] = {"ie",    "netscape", "opera", "msn",
                                                           "yahoo", "mirc",     "wsftp", "cuteftp"};

struct CtlRequest {
    Action action = Action::Help;
    std::string name; // the command as typed
    UINT message = 0; // Action::Message
    WPARAM wParam = 0;
    UINT commandId = 0;                        // Action::Command
    std::array<bool, ProgramCount> programs{}; // Action::Backup, Action::Restore
};

struct ParsedArguments {
    std::optional<CtlRequest> request; // nothing: bad usage
    std::string error;                 // why, for the usage message
};

// The levels the host knows: 0 (none) to 4 (the strongest preset).
inline constexpr unsigned MaxLevel = 4;

// The arguments after the program name.
ParsedArguments parseArguments(const std::vector<std::string>& args);
// Decimal 0..maxValue, nothing else (no sign, no blanks, no trailing text).
std::optional<unsigned> parseLevel(const std::string& text, unsigned maxValue = MaxLevel);

// The usage text printed by --help and after a usage error.
const char* usageText();

} // namespace ctl
