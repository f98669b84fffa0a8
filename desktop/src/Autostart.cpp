#include "UserFiles.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Text.h>

#include <desktop/Autostart.h>
#include <desktop/DesktopEntry.h>

#include <algorithm>

namespace desktop {
namespace fs = std::filesystem;

namespace {

constexpr DWORD kMaxCommand = 2048;
constexpr const char* kTrayArgument = "+Tray";

struct RunCommand {
    std::string program; // DOS path
    std::vector<std::string> arguments;
};

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        at = text.find_first_not_of(' ', at);
        if (at == std::string_view::npos) {
            break;
        }
        std::size_t end = text.find(' ', at);
        end = end == std::string_view::npos ? text.size() : end;
        out.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

// "C:\Program Files\Umbravia\Umbravia.exe" or the same path in quotes, arguments after it.
// An unquoted path may hold blanks, as Windows allows: it runs up to its ".exe".
std::optional<RunCommand> parseRunCommand(std::string_view value)
{
    value = text::trim(value);
    RunCommand command;
    std::string_view rest;
    if (value.starts_with('"')) {
        std::size_t close = value.find('"', 1);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        command.program = value.substr(1, close - 1);
        rest = value.substr(close + 1);
    } else {
        std::size_t exe = text::findNoCase(value, ".exe");
        while (exe != std::string_view::npos && exe + 4 < value.size() && value[exe + 4] != ' ') {
            exe = text::findNoCase(value, ".exe", exe + 4);
        }
        std::size_t end = exe == std::string_view::npos ? value.size() : exe + 4;
        command.program = value.substr(0, end);
        rest = value.substr(end);
    }
    if (command.program.empty()) {
        return std::nullopt;
    }
    command.arguments = words(rest);
    return command;
}

} // namespace

fs::path autostartEntryPath()
{
    return configFolder() / "autostart" / "umbravia.desktop";
}

Result mirrorAutostart() noexcept
{
    try {
        const fs::path entryFile = autostartEntryPath();
        const settings::Key run = settings::Key::open(HKEY_CURRENT_USER, RunKey);
        const std::optional<std::string> value =
            run ? run.readString(RunValue, kMaxCommand) : std::nullopt;
        if (!value) {
            platform::Result<void> removed = removeUserFile(entryFile);
            return removed ? Result{} : Result{Outcome::Failed, removed.error().message};
        }
        const std::optional<RunCommand> command = parseRunCommand(*value);
        platform::Result<platform::HostPath> program =
            command ? platform::toHostPath(command->program)
                    : platform::Result<platform::HostPath>(
                          platform::makeError(ERROR_BAD_FORMAT, "no program"));
        if (!program) {
            return {Outcome::Failed, "The autostart entry " + entryFile.string() +
                                         " is not written: the start-up command \"" + *value +
                                         "\" names no program that Linux can start (" +
                                         program.error().message + ")."};
        }
        DesktopEntry entry;
        entry.name = "Umbravia";
        entry.comment = "Start the Umbravia privacy proxy in the notification area";
        entry.icon = AppIconName;
        entry.command.push_back(program->string());
        entry.command.insert(entry.command.end(), command->arguments.begin(),
                             command->arguments.end());
        if (std::find(entry.command.begin() + 1, entry.command.end(), kTrayArgument) ==
            entry.command.end()) {
            entry.command.emplace_back(kTrayArgument);
        }
        // The entry hides itself when the program is gone (a removed build folder).
        entry.tryExec = true;
        entry.extraLines = {"X-GNOME-Autostart-enabled=true"};
        return writeDesktopEntry(entryFile, entry);
    } catch (const std::exception& error) {
        return {Outcome::Failed,
                std::string("The autostart entry cannot be written: ") + error.what()};
    }
}

} // namespace desktop
