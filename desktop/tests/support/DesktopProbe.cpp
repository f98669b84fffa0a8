// desktop_probe: runs the desktop component in a process of its own, as the host would,
// for the tests that need a fresh process (GIO reads HOME and picks its settings back end
// once per process) or one that is killed. It refuses to run unless HOME, XDG_CONFIG_HOME
// and UMBRAVIA_PREFIX lie in the temporary folder and GSettings stay in a file there.
//
//   desktop_probe detected TARGET | set TARGET PORT | unset TARGET | backup TARGET
//   desktop_probe restore TARGET
//   desktop_probe on PORT TARGET... | off | recover | hold PORT TARGET...
//
// One line per report, "<target> done|skipped|failed: <message>"; hold switches on, prints
// "on" and waits to be killed. Exit status 0 all done, 1 a failure, 2 bad usage, 3 refused.

#include "TestSupport.h"

#include <desktop/DesktopIntegration.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<desktop::Target> targetNamed(const std::string& name)
{
    if (name == "gnome") {
        return desktop::Target::Gnome;
    }
    if (name == "kde") {
        return desktop::Target::Kde;
    }
    if (name == "firefox") {
        return desktop::Target::Firefox;
    }
    if (name == "environment") {
        return desktop::Target::Environment;
    }
    return std::nullopt;
}

bool print(desktop::Target target, const desktop::Result& result)
{
    const char* outcome = result.outcome == desktop::Outcome::Done      ? "done"
                          : result.outcome == desktop::Outcome::Skipped ? "skipped"
                                                                        : "failed";
    std::cout << desktop::targetName(target) << ' ' << outcome;
    if (!result.message.empty()) {
        std::cout << ": " << result.message;
    }
    std::cout << std::endl;
    return result.ok();
}

bool printAll(const std::vector<desktop::Report>& reports)
{
    bool ok = true;
    for (const desktop::Report& report : reports) {
        ok = print(report.target, report.result) && ok;
    }
    return ok;
}

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool safeFolder(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] == '/' && testsupport::insideTemporaryFolder(value);
}

std::optional<desktop::Choices> choicesFrom(const std::vector<std::string>& names)
{
    desktop::Choices choices;
    for (const std::string& name : names) {
        std::optional<desktop::Target> target = targetNamed(name);
        if (!target) {
            return std::nullopt;
        }
        choices[*target] = true;
    }
    return choices;
}

} // namespace

int main(int argc, char** argv)
{
    // dconf would reach the session's settings whatever HOME says; only "detected" may
    // look for it, and only over a bus address in the temporary folder.
    const std::string backend = variable("GSETTINGS_BACKEND");
    const std::string bus = variable("DBUS_SESSION_BUS_ADDRESS");
    const bool ownBus = bus.starts_with("unix:path=") &&
                        testsupport::insideTemporaryFolder(bus.substr(10)) &&
                        bus.find_first_of(",;") == std::string::npos;
    const bool ownSettings = backend == "keyfile" || backend == "memory" ||
                             (argc == 3 && std::string(argv[1]) == "detected" && ownBus);
    if (!safeFolder("HOME") || !safeFolder("XDG_CONFIG_HOME") || !safeFolder("UMBRAVIA_PREFIX") ||
        !ownSettings) {
        std::cerr << "desktop_probe: HOME, XDG_CONFIG_HOME and UMBRAVIA_PREFIX must lie in the "
                     "temporary folder, GSETTINGS_BACKEND must be keyfile or memory\n";
        return 3;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return 2;
    }
    const std::string& command = args[0];
    const std::optional<desktop::Target> named =
        args.size() > 1 ? targetNamed(args[1]) : std::nullopt;
    const desktop::Target target = named.value_or(desktop::Target::Gnome);
    if (command == "detected" && named) {
        std::cout << desktop::targetName(target)
                  << (desktop::detected(target) ? " found" : " absent") << std::endl;
        return 0;
    }
    if (command == "set" && named && args.size() == 3) {
        const auto port = static_cast<unsigned>(std::stoul(args[2]));
        return print(target, desktop::set(target, port)) ? 0 : 1;
    }
    if (command == "unset" && named) {
        return print(target, desktop::unset(target)) ? 0 : 1;
    }
    if (command == "backup" && named) {
        return print(target, desktop::backup(target)) ? 0 : 1;
    }
    if (command == "restore" && named) {
        return print(target, desktop::restore(target)) ? 0 : 1;
    }
    if (command == "off") {
        return printAll(desktop::DesktopIntegration::switchOff()) ? 0 : 1;
    }
    if (command == "recover") {
        return printAll(desktop::DesktopIntegration::recoverFromJournal()) ? 0 : 1;
    }
    if ((command == "on" || command == "hold") && args.size() >= 2) {
        std::optional<desktop::Choices> choices =
            choicesFrom(std::vector<std::string>(args.begin() + 2, args.end()));
        if (!choices) {
            return 2;
        }
        bool ok = printAll(desktop::DesktopIntegration::switchOn(
            static_cast<unsigned>(std::stoul(args[1])), *choices));
        if (command == "hold") {
            std::cout << "on" << std::endl;
            for (;;) {
                pause(); // until the test kills it, as a host that never reaches its exit step
            }
        }
        return ok ? 0 : 1;
    }
    return 2;
}
